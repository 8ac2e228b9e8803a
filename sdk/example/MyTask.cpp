// MyTask: greets in the trace with the Text of its element and names the
// configuration that listed it.
//
//   <MyTask CLSID="{6F48EA4B-C453-4786-938C-583092590026}" Text="Hello"/>
#include "OstrelinTask.h"

// The task's name in the trace and its CLSID. The project builds this file
// again as its demo's HelloTask, which sets both first; a task of yours needs
// no #ifndef.
#ifndef MY_TASK_NAME
#define MY_TASK_NAME "MyTask"
// {6F48EA4B-C453-4786-938C-583092590026}: make a new one for every task class.
const CLSID CLSID_MyTask = {
    0x6f48ea4b, 0xc453, 0x4786, {0x93, 0x8c, 0x58, 0x30, 0x92, 0x59, 0x00, 0x26}};
#endif

class CMyTask : public CTaskBase
{
    std::wstring m_strText;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config(MY_TASK_NAME, pElement);
        m_strText = config.GetText(L"Text", true); // absent: "MyTask: Text is missing"
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        TraceTaskText(MY_TASK_NAME, m_strText + L" (listed in " + GetLiveConfigPath() + L")");
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CMyTask, CLSID_MyTask);
