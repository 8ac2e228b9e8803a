// A class that throws, beside the README's example task in the DLL that the
// SDK's tests load and register themselves.
#include "OstrelinTask.h"

// {96EDF6AF-EC6F-4EE1-B62D-11D09DA9A28B}
const CLSID CLSID_ThrowingTask = {
    0x96edf6af, 0xec6f, 0x4ee1, {0xb6, 0x2d, 0x11, 0xd0, 0x9d, 0xa9, 0xa2, 0x8b}};

class CThrowingTask : public CTaskBase
{
    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        std::wstring strThrow;
        GetTaskAttribute(pElement, L"Throw", strThrow);
        if (strThrow == L"bad_alloc")
            throw std::bad_alloc();
        if (strThrow == L"hresult")
            CHECK_HRESULT(E_ACCESSDENIED);
        if (strThrow == L"win32")
        {
            SetLastError(ERROR_SUCCESS);
            CHECK_WIN32(false);
        }
        if (strThrow == L"int")
            throw 1;
        return S_OK;
    }

    HRESULT OnRun(TaskInstruction& /*eInstruction*/) override { throw std::bad_alloc(); }
};

OSTRELIN_TASK_CLASS(CThrowingTask, CLSID_ThrowingTask);
