#include "ConfigServer.h"

#include "CoreHandle.h"
#include "WideText.h"

#include <vector>

namespace
{
bool ReadServerPath(const CLSID& clsid, REGSAM samView, std::wstring& strServer)
{
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    const std::wstring strKey = std::wstring(L"CLSID\\") + wszClsid + L"\\InprocServer32";
    CUniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, strKey.c_str(), 0, KEY_QUERY_VALUE | samView,
                        key.AcceptHere()) != ERROR_SUCCESS)
        return false;
    wchar_t wszServer[MAX_PATH * 2] = {};
    DWORD cbServer = sizeof wszServer - sizeof(wchar_t);
    DWORD dwType = 0;
    if (::RegQueryValueExW(key.Get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(wszServer),
                           &cbServer) != ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    // As COM reads it: environment variables only in a REG_EXPAND_SZ, and one
    // pair of quotes around the path taken off.
    strServer = wszServer;
    if (dwType == REG_EXPAND_SZ)
    {
        std::vector<wchar_t> expanded(MAX_PATH * 2);
        const DWORD cch = ::ExpandEnvironmentStringsW(wszServer, expanded.data(),
                                                      static_cast<DWORD>(expanded.size()));
        if (cch > 0 && cch <= expanded.size())
            strServer = expanded.data();
    }
    const size_t iFirst = strServer.find_first_not_of(L" \t\r\n");
    strServer.erase(0, iFirst == std::wstring::npos ? strServer.size() : iFirst);
    strServer.erase(strServer.find_last_not_of(L" \t\r\n") + 1);
    if (strServer.size() >= 2 && strServer.front() == L'"' && strServer.back() == L'"')
        strServer = strServer.substr(1, strServer.size() - 2);
    return !strServer.empty();
}

// A name without a folder is looked for the way the system loads a DLL.
bool ServerFileExists(const std::wstring& strPath)
{
    if (strPath.find_first_of(L"\\/") == std::wstring::npos)
    {
        wchar_t wszFound[MAX_PATH] = {};
        return ::SearchPathW(nullptr, strPath.c_str(), nullptr, MAX_PATH, wszFound, nullptr) > 0;
    }
    // A folder is there too: check says why it does not load.
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

CRegistryView FindRegistryView(const std::wstring& strLauncher)
{
    // The system's own reading of a program's headers; no launcher there
    // means this tool's own bitness.
    DWORD dwType = 0;
    const bool fLauncher = ::GetBinaryTypeW(strLauncher.c_str(), &dwType) &&
                           (dwType == SCS_32BIT_BINARY || dwType == SCS_64BIT_BINARY);
    const bool fOwn64 = sizeof(void*) == 8;
    const bool f64 = fLauncher ? dwType == SCS_64BIT_BINARY : fOwn64;
    CRegistryView view;
    view.samView = f64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    view.fOwn = f64 == fOwn64;
    view.strDescription = f64 ? "64-bit" : "32-bit";
    view.strDescription +=
        fLauncher ? ", that of the launcher " : ", this tool's own (no launcher at ";
    view.strDescription += TextFrom(strLauncher, CP_UTF8);
    if (!fLauncher)
        view.strDescription += ")";
    return view;
}

CServerLookup FindInprocServer(const CLSID& clsid, REGSAM samView)
{
    CServerLookup lookup;
    if (!ReadServerPath(clsid, samView, lookup.strPath))
        return lookup;
    lookup.state = ServerState::Present;
    if (!ServerFileExists(lookup.strPath))
        lookup.state = ServerState::Missing;
    return lookup;
}
