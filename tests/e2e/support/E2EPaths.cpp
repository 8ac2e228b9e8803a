#include "E2EPaths.h"

#include <fstream>
#include <regex>
#include <sstream>

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

int SourceLine(const std::string& relativePath, const std::string& needle)
{
    std::ifstream source(OSTRELIN_SOURCE_DIR "/" + relativePath);
    std::string line;
    for (int iLine = 1; std::getline(source, line); ++iLine)
    {
        if (line.find(needle) != std::string::npos)
            return iLine;
    }
    return -1;
}

std::map<std::string, std::string> ReadFolder(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    WIN32_FIND_DATAA data;
    const HANDLE hFind = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    for (bool fMore = hFind != INVALID_HANDLE_VALUE; fMore; fMore = ::FindNextFileA(hFind, &data))
    {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::ostringstream bytes;
        bytes << std::ifstream(folder + "\\" + name, std::ios::binary).rdbuf();
        entries[name] = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? "<folder>" : bytes.str();
    }
    if (hFind != INVALID_HANDLE_VALUE)
        ::FindClose(hFind);
    return entries;
}

std::map<std::string, std::string> ExplainFiles(const std::map<std::string, std::string>& entries)
{
    std::map<std::string, std::string> files;
    const std::regex name("Ostrelin-[0-9]{8}-[0-9]{6}-[0-9]+\\.txt");
    for (const auto& entry : entries)
    {
        if (std::regex_match(entry.first, name) && entry.second != "<folder>")
            files.insert(entry);
    }
    return files;
}
