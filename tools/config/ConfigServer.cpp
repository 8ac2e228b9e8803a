#include "ConfigServer.h"

#include "CoreBSTR.h"
#include "CoreHandle.h"

#include <cwchar>

namespace
{
bool ReadServerPath(const CLSID& clsid, CText& strServer)
{
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    CText strKey("CLSID\\");
    strKey += TextFromWide(wszClsid, static_cast<int>(std::wcslen(wszClsid)));
    strKey += "\\InprocServer32";
    // The 32-bit view, which the 32-bit launcher reads.
    CUniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, strKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                        key.AcceptHere()) != ERROR_SUCCESS)
        return false;
    char szServer[MAX_PATH * 2] = {};
    DWORD cbServer = sizeof szServer - 1;
    DWORD dwType = 0;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szServer),
                           &cbServer) != ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    char szExpanded[MAX_PATH * 2] = {};
    const DWORD cch = ::ExpandEnvironmentStringsA(szServer, szExpanded, sizeof szExpanded);
    strServer = cch > 0 && cch <= sizeof szExpanded ? szExpanded : szServer;
    strServer.Trim();
    return !strServer.IsEmpty();
}

// A name without a folder is looked for the way the system loads a DLL.
bool ServerFileExists(const CText& strPath)
{
    if (strPath.Find("\\") < 0 && strPath.Find("/") < 0)
    {
        char szFound[MAX_PATH] = {};
        return ::SearchPathA(nullptr, strPath, nullptr, MAX_PATH, szFound, nullptr) > 0;
    }
    const DWORD dwAttributes = ::GetFileAttributesA(strPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES &&
           (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
} // namespace

CServerLookup FindInprocServer(const CLSID& clsid)
{
    CServerLookup lookup;
    if (!ReadServerPath(clsid, lookup.strPath))
        return lookup;
    lookup.state = ServerFileExists(lookup.strPath) ? ServerState::Present : ServerState::Missing;
    return lookup;
}
