// CheckFiles: stops the start with a message that the user can act on when a
// file that the installation needs is missing.
//
//   <CheckFiles CLSID="{791C17A1-53EF-4991-9737-093AEC4A9792}"
//               Files="..\client\Casino.exe; ..\client\data"/>
//
//   Files  the files (or folders) that must exist, separated by ';' (required)
//   Quiet  yes: no message box, the missing files only go to the trace; no
//          (default)
//
// All present: Run returns InstructionContinue. Any missing: each one is
// traced, a message box "Casino" names them all, and once the user has closed
// it Run returns InstructionStop. Relative paths start at the folder of
// Config.xml.
#include "TaskClsid.h" // CLSID_Task, made from CMakeLists.txt
#include "OstrelinTask.h"
#include "TaskConfig.h"
#include "TaskPaths.h"

#include "CoreError.h"

#include <vector>

using namespace OstrelinSdk;

class CCheckFilesTask : public CTaskBase
{
    std::vector<std::wstring> m_files;
    bool m_fQuiet = false;
    HRESULT m_hrConfig = S_OK;

    HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* /*phRegisterMutex*/) override
    {
        CTaskConfig config("CheckFiles", pElement);
        const std::wstring strFiles = config.GetText(L"Files", true) + L";";
        m_fQuiet = config.GetChoice(L"Quiet", {L"no", L"yes"}, 0) == 1;
        m_hrConfig = config.GetResult();
        for (size_t iStart = 0, iEnd = 0; iStart < strFiles.size(); iStart = iEnd + 1)
        {
            iEnd = strFiles.find(L';', iStart);
            const std::wstring strFile = strFiles.substr(iStart, iEnd - iStart);
            const size_t iFirst = strFile.find_first_not_of(L" \t\r\n");
            if (iFirst != std::wstring::npos)
                m_files.push_back(
                    strFile.substr(iFirst, strFile.find_last_not_of(L" \t\r\n") + 1 - iFirst));
        }
        return S_OK; // a faulty element fails Run, where the launcher reports it
    }

    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CHECK_HRESULT(m_hrConfig);
        std::wstring strMissing;
        int cMissing = 0;
        for (const std::wstring& strFile : m_files)
        {
            const std::wstring strPath = ResolveTaskPath(strFile);
            if (::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES)
                continue;
            TraceTaskText("CheckFiles", L"missing " + strPath);
            strMissing += strPath + L"\n";
            ++cMissing;
        }
        if (cMissing == 0)
        {
            eInstruction = InstructionContinue;
            return S_OK;
        }

        if (!m_fQuiet)
        {
            const std::wstring strText =
                std::wstring(cMissing == 1
                                 ? L"The casino cannot start because a file it needs is missing:"
                                 : L"The casino cannot start because files it needs are missing:") +
                L"\n\n" + strMissing + L"\nPlease reinstall the casino.";
            ::MessageBoxW(nullptr, strText.c_str(), L"Casino", MB_OK | MB_ICONERROR);
        }
        eInstruction = InstructionStop;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CCheckFilesTask, CLSID_Task);
