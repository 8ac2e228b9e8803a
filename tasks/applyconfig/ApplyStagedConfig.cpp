// ApplyStagedConfig: puts a configuration that an updater has staged in place
// of the live Config.xml and has the launcher read it again, without a restart.
//
//   <ApplyUpdate CLSID="{D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}" Staging="..\update"/>
//
//   Staging  the folder where the updater leaves the new file (required)
//   File     its name there; default Config.xml
//   Target   the file it replaces; default: the Config.xml the launcher reads
//
// The file moves byte for byte, plain or scrambled, in one rename that replaces
// the target, so the launcher reads either the old file or the new one. Only
// the exact name File is taken: an updater writes the file under another name
// (Config.xml.new) and renames it when it is complete. The staging folder must
// be on the target's volume. After a move Run returns InstructionReload; with
// nothing staged, InstructionContinue. Relative paths start at the folder of
// Config.xml. A staged file that cannot be moved fails Run with the HRESULT of
// the Win32 error.
#include "ApplyStagedConfigClsid.h"
#include "OstrelinTask.h"
#include "TaskConfig.h"
#include "TaskPaths.h"

#include "CoreError.h"

using namespace OstrelinSdk;

class CApplyStagedConfigTask : public CTaskBase
{
    std::wstring m_strStaging, m_strFile, m_strTarget;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config("ApplyStagedConfig", pElement);
        m_strStaging = config.GetText(L"Staging", true);
        m_strFile = config.GetText(L"File");
        if (m_strFile.empty())
            m_strFile = L"Config.xml";
        m_strTarget = config.GetText(L"Target");
        m_hrConfig = config.GetResult();
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        eInstruction = InstructionContinue;
        const std::wstring strStaged = ResolveTaskPath(m_strStaging + L"\\" + m_strFile);
        const DWORD dwAttributes = ::GetFileAttributesW(strStaged.c_str());
        const DWORD dwError = ::GetLastError();
        if (dwAttributes == INVALID_FILE_ATTRIBUTES &&
            (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND))
            return S_OK; // nothing staged

        const std::wstring strTarget =
            m_strTarget.empty() ? GetLiveConfigPath() : ResolveTaskPath(m_strTarget);
        TraceTaskText("ApplyStagedConfig", L"moving " + strStaged + L" to " + strTarget);
        const BOOL fMoved = ::MoveFileExW(strStaged.c_str(), strTarget.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        CHECK_WIN32(fMoved);
        eInstruction = InstructionReload;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CApplyStagedConfigTask, CLSID_ApplyStagedConfigTask);
