// HelloTask: writes the Text of its element to the trace. The README's example.
//
//   <Hello CLSID="{5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}" Text="Hello from a task"/>
#include "OstrelinTask.h"

// {5AFEBDB9-DA2E-4AD0-9B1B-951AE4BD7529}
const CLSID CLSID_HelloTask = {
    0x5afebdb9, 0xda2e, 0x4ad0, {0x9b, 0x1b, 0x95, 0x1a, 0xe4, 0xbd, 0x75, 0x29}};

class CHelloTask : public CTaskBase
{
    std::wstring m_strText;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config("HelloTask", pElement);
        m_strText = config.GetText(L"Text", true); // absent: "HelloTask: Text is missing"
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        TraceTaskText("HelloTask", m_strText);
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CHelloTask, CLSID_HelloTask);
