// MyTask: greets in the trace with the Text of its element and names the
// configuration that listed it. With Reload="once" it first asks the launcher,
// once in the life of its process, to read the configuration again.
//
//   <MyTask CLSID="..." Text="Hello" Reload="once"/>
#include "OstrelinTask.h"
#include "TaskClsid.h" // OSTRELIN_TASK_NAME and CLSID_Task, made from CMakeLists.txt

using namespace OstrelinSdk;

// A reload releases this object and may unload the DLL with its statics (see
// "State across a reload" in the guide), so what must outlast one is kept in
// the process: an environment variable, which the programs it starts inherit.
const wchar_t szReloadedVariable[] = L"" OSTRELIN_TASK_NAME "_Reloaded";

class CMyTask : public CTaskBase
{
    std::wstring m_strText;
    bool m_fReloadOnce = false;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config(OSTRELIN_TASK_NAME, pElement);
        m_strText = config.GetText(L"Text");
        m_fReloadOnce = config.GetChoice(L"Reload", {L"no", L"once"}, 0) == 1;
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig); // Reload="twice": "MyTask: Reload="twice" is not one of: ..."
        if (m_fReloadOnce && !GetEnvironmentVariableW(szReloadedVariable, nullptr, 0))
        {
            CHECK_WIN32(SetEnvironmentVariableW(szReloadedVariable, L"1"));
            TraceTaskText(OSTRELIN_TASK_NAME, L"reloads the configuration, once");
            eInstruction = InstructionReload;
            return S_OK;
        }
        const std::wstring strText = m_strText.empty() ? L"Hello" : m_strText;
        TraceTaskText(OSTRELIN_TASK_NAME, strText + L" (listed in " + GetLiveConfigPath() + L")");
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CMyTask, CLSID_Task);
