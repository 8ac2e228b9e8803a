// MyTask: greets in the trace and names the configuration that listed it.
//
//   <MyTask CLSID="{6F48EA4B-C453-4786-938C-583092590026}" Greeting="Hello"/>
#include "OstrelinTask.h"

// {6F48EA4B-C453-4786-938C-583092590026}: make a new one for every task class.
const CLSID CLSID_MyTask = {
    0x6f48ea4b, 0xc453, 0x4786, {0x93, 0x8c, 0x58, 0x30, 0x92, 0x59, 0x00, 0x26}};

class CMyTask : public CTaskBase
{
    std::wstring m_strGreeting;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config("MyTask", pElement);
        m_strGreeting = config.GetText(L"Greeting", true);
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        TraceTaskText("MyTask", m_strGreeting + L" (listed in " + GetLiveConfigPath() + L")");
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CMyTask, CLSID_MyTask);
