#include "TaskManifest.h"

#include "CoreError.h"
#include "CoreTrace.h"

#include <cstring>

const wchar_t szTaskManifestName[] = L"Tasks.manifest";

namespace
{
CWideText FolderOf(const CWideText& strPath)
{
    const size_t iSlash = strPath.find_last_of(L"\\/");
    return iSlash == CWideText::npos ? CWideText(L".") : strPath.substr(0, iSlash);
}
} // namespace

CWideText TaskManifestPathFor(const CWideText& strConfigPath)
{
    return FolderOf(strConfigPath) + L"\\" + szTaskManifestName;
}

void TraceTaskManifestRefused(const CWideText& strPath)
{
    const CLastErrorKeeper keeper;
    const DWORD dwError = ::GetLastError();
    char szWords[512];
    FormatSystemMessageFixed(dwError, szWords, sizeof(szWords));
    for (size_t cch = std::strlen(szWords); cch > 0 && std::strchr(" \r\n", szWords[cch - 1]);)
        szWords[--cch] = '\0';
    CText strRecord;
    FormatText(strRecord, "---->\tCreateActCtx() refused the task manifest %s: %lu: %s\n",
               AnsiFromWide(strPath).GetString(), dwError, szWords);
    TraceText(strRecord);
}

CActivatedTaskManifest::~CActivatedTaskManifest()
{
    if (m_fActive)
        ::DeactivateActCtx(0, m_uCookie);
    if (m_hContext != INVALID_HANDLE_VALUE)
        ::ReleaseActCtx(m_hContext);
}

bool CActivatedTaskManifest::Activate(const CWideText& strPath)
{
    // Only a manifest that is not there at all leaves the classes to the
    // registry; one that cannot be read is refused below, never passed over,
    // since the registry may name another installation's DLLs.
    if (::GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD dwError = ::GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND)
            return true;
    }
    // The DLLs it names are found in its own folder.
    const CWideText strFolder = FolderOf(strPath);
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = strPath.c_str();
    context.lpAssemblyDirectory = strFolder.c_str();
    m_strPath = strPath;
    m_hContext = ::CreateActCtxW(&context);
    if (m_hContext == INVALID_HANDLE_VALUE)
        return false;
    m_fActive = ::ActivateActCtx(m_hContext, &m_uCookie) != FALSE;
    return m_fActive;
}

const wchar_t* CActivatedTaskManifest::FindClass(const CLSID& clsid) const
{
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof(data);
    const bool fListed =
        m_fActive &&
        ::FindActCtxSectionGuid(0, nullptr, ACTIVATION_CONTEXT_SECTION_COM_SERVER_REDIRECTION,
                                &clsid, &data) != FALSE;
    return fListed ? m_strPath.c_str() : nullptr;
}
