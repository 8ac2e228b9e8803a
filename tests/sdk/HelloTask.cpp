// The minimal task of the SDK's documentation, and a second class that throws,
// in one DLL that the tests load and register themselves.
#include "OstrelinTask.h"

#include "CoreError.h"

// {5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}
const CLSID CLSID_HelloTask = {
    0x5afebdb9, 0xda2e, 0x4ad0, {0x9b, 0x1b, 0x95, 0x1a, 0xe4, 0xbd, 0x75, 0x29}};

class CHelloTask : public CTaskBase
{
    std::wstring m_strText;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        // Without a Text attribute there is nothing to do: the launcher skips us.
        return GetTaskAttribute(pElement, L"Text", m_strText) ? S_OK : S_FALSE;
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        OutputDebugStringW((m_strText + L"\n").c_str());
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CHelloTask, CLSID_HelloTask);

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
