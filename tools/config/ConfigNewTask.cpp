#include "ConfigNewTask.h"

#include "ConfigFiles.h"
#include "CoreFile.h"
#include "CoreHandle.h"
#include "ReplacementFile.h"
#include "TaskTemplates.h"
#include "WideText.h"

#include <windows.h>

#include <objbase.h>

#include <cwchar>
#include <initializer_list>
#include <vector>

namespace
{
enum ExitCode
{
    ExitSuccess = 0,
    ExitFailure = 1, // a file or folder that cannot be written
    ExitRejected = 2 // a name that cannot be a task's, or a folder in use
};

struct CFindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
using CUniqueFindHandle = CUniqueHandleT<CFindHandleTraits>;

bool IsOneOf(const std::string& strName, std::initializer_list<const char*> names, bool fAnyCase)
{
    for (const char* pszName : names)
    {
        if (fAnyCase ? _stricmp(strName.c_str(), pszName) == 0 : strName == pszName)
            return true;
    }
    return false;
}

// The name becomes the DLL's and its CMake target's, the C++ class's (C<name>)
// and the element's in Config.xml: why it cannot be all of them, or nullptr.
// Checked before anything is written, so that only a task that builds is made.
const char* WhyNotATaskName(const std::string& strName)
{
    const char* const pszForm =
        "it is up to 64 ASCII letters, digits and _, a letter first, with a lower-case letter";
    if (strName.empty() || strName.size() > 64)
        return pszForm;
    bool fLower = false;
    for (size_t i = 0; i < strName.size(); ++i)
    {
        const char ch = strName[i];
        const bool fLetter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
        if (!fLetter && (i == 0 || !((ch >= '0' && ch <= '9') || ch == '_')))
            return pszForm;
        fLower = fLower || (ch >= 'a' && ch <= 'z');
    }
    if (IsOneOf(strName, {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                          "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                          "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"},
                true))
        return "Windows keeps it for a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in "
               "any letter case), so no file can have it";
    if (IsOneOf(strName,
                {"all", "help", "install", "clean", "test", "package", "package_source",
                 "preinstall", "edit_cache", "rebuild_cache", "list_install_components"},
                false))
        return "CMake keeps it for a target of its own (all, help, install, clean, test, package "
               "and the like)";
    if (IsOneOf(strName, {"TaskBase", "TaskClass", "TaskConfig"}, false))
        return "its class C<name> would be one of the SDK's own (CTaskBase, CTaskClass, "
               "CTaskConfig)";
    if (!fLower)
        return "its class C<name> would be in capitals only, the form of the system's macros "
               "(CALLBACK for ALLBACK): give it a lower-case letter";
    return nullptr;
}

std::string Utf8(const std::wstring& strText)
{
    return TextFrom(strText, CP_UTF8);
}

std::wstring ParentOf(const std::wstring& strPath)
{
    const size_t iSlash = strPath.find_last_of(L"\\/");
    return iSlash == std::wstring::npos ? std::wstring() : strPath.substr(0, iSlash);
}

bool IsEmptyFolder(const std::wstring& strFolder)
{
    WIN32_FIND_DATAW data;
    CUniqueFindHandle hFind(::FindFirstFileW((strFolder + L"\\*").c_str(), &data));
    if (!hFind.IsValid())
        return false;
    do
    {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0)
            return false;
    } while (::FindNextFileW(hFind.Get(), &data));
    return true;
}

// The folder and the missing ones above it, outermost first, are created;
// those that this call created are added to createdFolders.
DWORD CreateFolderPath(const std::wstring& strFolder, std::vector<std::wstring>& createdFolders)
{
    if (::CreateDirectoryW(strFolder.c_str(), nullptr))
    {
        createdFolders.push_back(strFolder);
        return ERROR_SUCCESS;
    }
    DWORD dwError = ::GetLastError();
    if (dwError == ERROR_PATH_NOT_FOUND && !ParentOf(strFolder).empty())
    {
        dwError = CreateFolderPath(ParentOf(strFolder), createdFolders);
        if (dwError == ERROR_SUCCESS)
            return CreateFolderPath(strFolder, createdFolders);
    }
    return dwError;
}

// The git repository that holds the folder, if any: the nearest folder above
// it with a .git entry.
std::wstring FindRepository(std::wstring strFolder)
{
    for (; !strFolder.empty(); strFolder = ParentOf(strFolder))
    {
        if (::GetFileAttributesW((strFolder + L"\\.git").c_str()) != INVALID_FILE_ATTRIBUTES)
            return strFolder;
    }
    return std::wstring();
}

std::string ReplaceAll(std::string strText, const std::string& strOld, const std::string& strNew)
{
    for (size_t i = strText.find(strOld); i != std::string::npos;
         i = strText.find(strOld, i + strNew.size()))
        strText.replace(i, strOld.size(), strNew);
    return strText;
}

// Written only as a new file: a file of that name that appeared meanwhile is
// left alone (ERROR_FILE_EXISTS).
DWORD WriteNewFile(const std::wstring& strPath, const std::string& strData)
{
    CUniqueFileHandle hFile(::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile.IsValid())
        return ::GetLastError();
    DWORD cbWritten = 0;
    if (!::WriteFile(hFile.Get(), strData.data(), static_cast<DWORD>(strData.size()), &cbWritten,
                     nullptr) ||
        !::FlushFileBuffers(hFile.Get()))
    {
        const DWORD dwError = ::GetLastError();
        hFile.Close();
        ::DeleteFileW(strPath.c_str());
        return dwError;
    }
    return ERROR_SUCCESS;
}

std::string NewClsid()
{
    GUID clsid;
    wchar_t szClsid[40];
    if (FAILED(::CoCreateGuid(&clsid)) || !::StringFromGUID2(clsid, szClsid, ARRAYSIZE(szClsid)))
        return std::string();
    return Utf8(szClsid);
}

// The SDK's folder when this tool runs from one: <sdk>\bin\ostrelin-config.exe.
std::wstring FindSdkFolder()
{
    wchar_t szModule[MAX_PATH * 4];
    const DWORD cch = ::GetModuleFileNameW(nullptr, szModule, ARRAYSIZE(szModule));
    if (cch == 0 || cch >= ARRAYSIZE(szModule))
        return std::wstring();
    const std::wstring strSdk = ParentOf(ParentOf(szModule));
    const DWORD dwAttributes =
        ::GetFileAttributesW((strSdk + L"\\lib\\cmake\\OstrelinTaskSdk").c_str());
    const bool fSdk =
        dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return fSdk ? strSdk : std::wstring();
}

void PrintNextSteps(const std::string& strName, const std::string& strFolder,
                    const std::string& strClsid)
{
    std::string strSdk = Utf8(FindSdkFolder());
    if (strSdk.empty())
        strSdk = "<sdk>";
    const char* const pszToolchain = sizeof(void*) == 8 ? "toolchain-x86_64-w64-mingw32.cmake"
                                                        : "toolchain-i686-w64-mingw32.cmake";
    // The steps of the task authors' guide, "Your first task", by their numbers.
    Print(stdout,
          "made task %s in %s, CLSID %s (written once, in its CMakeLists.txt)\n"
          "the next steps, as in the task authors' guide (\"Your first task\"):\n"
          "3. build it there:\n"
          "  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=\"%s\""
          " -DCMAKE_TOOLCHAIN_FILE=\"%s\\lib\\cmake\\OstrelinTaskSdk\\%s\"\n"
          "  cmake --build build\n"
          "4. put it into an installation, with bin\\Tasks.manifest, and list it in its\n"
          "   Config.xml (build\\%s.Config.xml lists just it):\n"
          "  cmake --install build --prefix <installation>\n"
          "  <%s CLSID=\"%s\"/>\n"
          "5. register nothing: the launcher creates it from the DLL bin\\Tasks.manifest names\n"
          "6. run the launcher through the trace:\n"
          "  ostrelin-trace <installation>\\bin\\Ostrelin.exe\n",
          strName.c_str(), strFolder.c_str(), strClsid.c_str(), strSdk.c_str(), strSdk.c_str(),
          pszToolchain, strName.c_str(), strName.c_str(), strClsid.c_str());
}
} // namespace

int RunNewTask(const std::string& strName, const std::wstring& strFolderArgument)
{
    if (const char* const pszWhy = WhyNotATaskName(strName))
    {
        Print(stderr,
              "ostrelin-config: \"%s\" cannot name a task: it names the DLL, the class and the"
              " element, and %s\n",
              strName.c_str(), pszWhy);
        return ExitRejected;
    }
    const std::string strClsid = NewClsid();
    if (strClsid.empty())
    {
        Print(stderr, "ostrelin-config: the system made no new CLSID (CoCreateGuid)\n");
        return ExitFailure;
    }
    const CWideText strFull = FullPathOf(strFolderArgument.c_str());
    std::wstring strFolder =
        strFull.empty() ? strFolderArgument : std::wstring(strFull.c_str(), strFull.size());
    while (strFolder.size() > 3 && (strFolder.back() == L'\\' || strFolder.back() == L'/'))
        strFolder.pop_back();
    const std::string strFolderText = Utf8(strFolder);

    std::vector<std::wstring> createdFolders;
    const DWORD dwCreate = CreateFolderPath(strFolder, createdFolders);
    if (dwCreate != ERROR_SUCCESS && dwCreate != ERROR_ALREADY_EXISTS)
    {
        Print(stderr, "ostrelin-config: cannot create %s: %s\n", strFolderText.c_str(),
              DescribeSystemError(dwCreate).c_str());
        return ExitFailure;
    }
    // Only a new or empty folder: whatever stands in one is the author's.
    if (createdFolders.empty() && !IsEmptyFolder(strFolder))
    {
        Print(stderr,
              "ostrelin-config: %s is not an empty folder; new-task writes only into a"
              " new or empty one\n",
              strFolderText.c_str());
        return ExitRejected;
    }
    const std::wstring strRepository = FindRepository(strFolder);
    if (!strRepository.empty())
        Print(stderr,
              "ostrelin-config: note: %s is inside the git repository %s; the task is a project"
              " of its own all the same, built against the installed SDK\n",
              strFolderText.c_str(), Utf8(strRepository).c_str());

    std::vector<std::wstring> writtenFiles;
    DWORD dwError = ERROR_SUCCESS;
    std::string strFailedFile;
    for (const CTaskTemplateFile& file : taskTemplateFiles)
    {
        const std::string strFile = ReplaceAll(file.pszName, szTaskTemplateName, strName);
        const std::string strText = ReplaceAll(
            ReplaceAll(file.pszText, szTaskTemplateClsid, strClsid), szTaskTemplateName, strName);
        const std::wstring strPath = strFolder + L"\\" + WideFrom(strFile, CP_UTF8);
        dwError = WriteNewFile(strPath, strText);
        if (dwError != ERROR_SUCCESS)
        {
            strFailedFile = strFile;
            break;
        }
        writtenFiles.push_back(strPath);
    }
    if (dwError != ERROR_SUCCESS)
    {
        // No half task: what this call wrote goes again, the author's stays.
        for (const std::wstring& strPath : writtenFiles)
            ::DeleteFileW(strPath.c_str());
        for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
            ::RemoveDirectoryW(it->c_str());
        Print(stderr, "ostrelin-config: cannot write %s\\%s: %s\n", strFolderText.c_str(),
              strFailedFile.c_str(), DescribeSystemError(dwError).c_str());
        return dwError == ERROR_FILE_EXISTS ? ExitRejected : ExitFailure;
    }
    PrintNextSteps(strName, strFolderText, strClsid);
    return ExitSuccess;
}
