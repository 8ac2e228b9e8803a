#include "ConfigServer.h"

#include "CoreBSTR.h"
#include "CoreHandle.h"

#include <cwchar>

namespace
{
bool ReadServerPath(const CLSID& clsid, REGSAM samView, CText& strServer)
{
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    CText strKey("CLSID\\");
    strKey += TextFromWide(wszClsid, static_cast<int>(std::wcslen(wszClsid)));
    strKey += "\\InprocServer32";
    CUniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, strKey, 0, KEY_QUERY_VALUE | samView,
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

CRegistryView FindRegistryView(const CText& strLauncher)
{
    // The system's own reading of a program's headers; no launcher there
    // means this tool's own bitness.
    DWORD dwType = 0;
    const bool fLauncher = ::GetBinaryTypeA(strLauncher, &dwType) &&
                           (dwType == SCS_32BIT_BINARY || dwType == SCS_64BIT_BINARY);
    const bool f64 = fLauncher ? dwType == SCS_64BIT_BINARY : sizeof(void*) == 8;
    CRegistryView view;
    view.samView = f64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    view.strDescription = f64 ? "64-bit" : "32-bit";
    view.strDescription +=
        fLauncher ? ", that of the launcher " : ", this tool's own (no launcher at ";
    view.strDescription += strLauncher;
    if (!fLauncher)
        view.strDescription += ")";
    return view;
}

CServerLookup FindInprocServer(const CLSID& clsid, REGSAM samView)
{
    CServerLookup lookup;
    if (!ReadServerPath(clsid, samView, lookup.strPath))
        return lookup;
    lookup.state = ServerFileExists(lookup.strPath) ? ServerState::Present : ServerState::Missing;
    return lookup;
}
