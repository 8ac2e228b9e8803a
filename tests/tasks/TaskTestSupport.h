// Running a sample task as the launcher does, and a scratch folder under bin,
// where the tasks' relative paths start when the test program hosts them.
#pragma once

#include "SdkTestSupport.h"

#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

// bin\tasks_tests_<pid>, removed with its content at the end.
struct CScratch
{
    CScratch() { CreateDirectoryW(m_strPath.c_str(), nullptr); }
    ~CScratch()
    {
        const std::wstring strFrom = m_strPath + L'\0'; // a list of one
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = strFrom.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }

    const std::wstring m_strName = L"tasks_tests_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring m_strPath = GetBinPath(m_strName.c_str());

    std::wstring Path(const std::wstring& strRelative) const
    {
        return m_strPath + L"\\" + strRelative;
    }

    void Write(const std::wstring& strRelative, const std::string& strBytes) const
    {
        const std::wstring strPath = Path(strRelative);
        CreateDirectoryW(strPath.substr(0, strPath.rfind(L'\\')).c_str(), nullptr);
        std::ofstream(strPath.c_str(), std::ios::binary) << strBytes;
    }

    // The file's bytes, or "<none>".
    std::string Read(const std::wstring& strRelative) const
    {
        std::ifstream file(Path(strRelative).c_str(), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        return file ? bytes.str() : "<none>";
    }
};

// strText with every "{name}" and "{dir}" replaced by the scratch folder's
// name (relative to bin) and full path, and every key of more by its value.
inline std::wstring Fill(std::wstring strText, const CScratch& scratch,
                         std::vector<std::pair<std::wstring, std::wstring>> more = {})
{
    more.emplace_back(L"{name}", scratch.m_strName);
    more.emplace_back(L"{dir}", scratch.m_strPath);
    for (const auto& key : more)
    {
        for (size_t i = strText.find(key.first); i != std::wstring::npos;
             i = strText.find(key.first, i))
            strText.replace(i, key.first.size(), key.second);
    }
    return strText;
}
