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
// (Config.xml.new) and renames it when it is complete. Only a regular file is
// taken: a folder or anything else of that name stays where it is, with a
// record, and the run goes on with the configuration it has. The staging
// folder must be on the target's volume. After a move Run returns
// InstructionReload; otherwise InstructionContinue. Relative paths start at
// the folder of Config.xml. A staged file that cannot be moved fails Run with
// the HRESULT of the Win32 error.
#include "TaskClsid.h" // CLSID_Task, made from CMakeLists.txt
#include "OstrelinTask.h"
#include "TaskConfig.h"
#include "TaskPaths.h"

#include "CoreError.h"
#include "CoreHandle.h"

#include <cstring>
#include <vector>

namespace
{
// The NT form of a full path, which a rename by handle takes.
std::wstring NtPathOf(const std::wstring& strFull)
{
    if (strFull.compare(0, 4, L"\\\\?\\") == 0)
        return L"\\??\\" + strFull.substr(4);
    if (strFull.compare(0, 2, L"\\\\") == 0)
        return L"\\??\\UNC\\" + strFull.substr(2);
    return L"\\??\\" + strFull;
}

// Renames the file of hFile to strTarget, replacing what is there.
BOOL RenameByHandle(HANDLE hFile, const std::wstring& strTarget)
{
    const std::wstring strName = NtPathOf(strTarget);
    const DWORD cbName = static_cast<DWORD>(strName.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + cbName);
    FILE_RENAME_INFO* const pInfo = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    pInfo->ReplaceIfExists = TRUE;
    pInfo->RootDirectory = nullptr;
    pInfo->FileNameLength = cbName;
    std::memcpy(pInfo->FileName, strName.c_str(), cbName + sizeof(wchar_t));
    return ::SetFileInformationByHandle(hFile, FileRenameInfo, pInfo,
                                        static_cast<DWORD>(buffer.size()));
}
} // namespace

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
        // What is moved is what was looked at: the rename goes through this
        // handle, and no one else can move or delete the entry while it is open.
        // (A move by name replaced the live file with a folder under Wine.)
        const CUniqueFileHandle hStaged(
            ::CreateFileW(strStaged.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        const DWORD dwError = ::GetLastError();
        if (!hStaged && (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND))
            return S_OK; // nothing staged
        CHECK_WIN32(hStaged);

        BY_HANDLE_FILE_INFORMATION info = {};
        CHECK_WIN32(::GetFileInformationByHandle(hStaged.Get(), &info));
        const DWORD dwNotFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if ((info.dwFileAttributes & dwNotFile) != 0 ||
            ::GetFileType(hStaged.Get()) != FILE_TYPE_DISK)
        {
            TraceTaskText("ApplyStagedConfig", strStaged + L" is not a file: left where it is; "
                                                           L"the configuration stays as it is");
            return S_OK;
        }

        const std::wstring strTarget =
            m_strTarget.empty() ? GetLiveConfigPath() : ResolveTaskPath(m_strTarget);
        TraceTaskText("ApplyStagedConfig", L"moving " + strStaged + L" to " + strTarget);
        CHECK_WIN32(RenameByHandle(hStaged.Get(), strTarget));
        eInstruction = InstructionReload;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CApplyStagedConfigTask, CLSID_Task);
