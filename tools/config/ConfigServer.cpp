#include "ConfigServer.h"

#include "CoreBSTR.h"
#include "CoreFile.h"
#include "CoreHandle.h"

#include <cstring>
#include <cwchar>

namespace
{
// The machine a PE file was built for; 0 when the file is none or unreadable.
WORD ReadImageMachine(const CText& strPath)
{
    CSharedReadFile file;
    if (file.Open(strPath.GetString()) != S_OK)
        return 0;
    char buffer[4096] = {};
    const DWORD cbHeaders =
        static_cast<DWORD>(file.GetSize() < sizeof buffer ? file.GetSize() : sizeof buffer);
    IMAGE_DOS_HEADER dos = {};
    if (cbHeaders < sizeof dos || file.Read(buffer, cbHeaders) != S_OK)
        return 0;
    std::memcpy(&dos, buffer, sizeof dos);
    const DWORD ibFileHeader = static_cast<DWORD>(dos.e_lfanew) + sizeof(DWORD);
    DWORD dwSignature = 0;
    IMAGE_FILE_HEADER header = {};
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        ibFileHeader + sizeof header > cbHeaders)
        return 0;
    std::memcpy(&dwSignature, buffer + dos.e_lfanew, sizeof dwSignature);
    std::memcpy(&header, buffer + ibFileHeader, sizeof header);
    return dwSignature == IMAGE_NT_SIGNATURE ? header.Machine : 0;
}

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
    const bool fOwn64 = sizeof(void*) == 8;
    CRegistryView view;
    const WORD wMachine = ReadImageMachine(strLauncher);
    if (wMachine == IMAGE_FILE_MACHINE_I386 || wMachine == IMAGE_FILE_MACHINE_AMD64)
    {
        const bool f64 = wMachine == IMAGE_FILE_MACHINE_AMD64;
        view.samView = f64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        view.strDescription = f64 ? "64-bit" : "32-bit";
        view.strDescription += ", that of the launcher ";
        view.strDescription += strLauncher;
        return view;
    }
    view.samView = fOwn64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    view.strDescription = fOwn64 ? "64-bit" : "32-bit";
    view.strDescription += ", this tool's own (no launcher at ";
    view.strDescription += strLauncher;
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
