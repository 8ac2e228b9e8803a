#include "E2EPaths.h"

#include <windows.h>

void RemoveFolder(const std::string& folder)
{
    std::wstring wide(folder.size(), L'\0');
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, folder.data(),
                                                          static_cast<int>(folder.size()), &wide[0],
                                                          static_cast<int>(wide.size()))));
    RemoveFolder(wide);
}

void RemoveFolder(const std::wstring& folder)
{
    // Win32 itself, in the \\?\ form: the runtime's own functions stop at MAX_PATH.
    std::wstring path = folder.compare(0, 4, L"\\\\?\\") == 0 ? folder : L"\\\\?\\" + folder;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    WIN32_FIND_DATAW found;
    const HANDLE hFind = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    for (BOOL fMore = hFind != INVALID_HANDLE_VALUE; fMore; fMore = ::FindNextFileW(hFind, &found))
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveFolder(path + L"\\" + name);
        else
            ::DeleteFileW((path + L"\\" + name).c_str());
    }
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    ::RemoveDirectoryW(path.c_str());
}
