// Shared pieces of the XML tests: a COM apartment per test, a scratch folder,
// checks of thrown errors with their trace record, and child processes.
#pragma once

#include "CoreError.h"
#include "DebugOutputCapture.h"
#include "TestPaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

class XmlTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ::CoInitialize(nullptr)); }
    void TearDown() override { ::CoUninitialize(); }
};

// A folder of its own under %TEMP%, removed with the files named through it.
class CScratchFolder
{
public:
    CScratchFolder()
    {
        static int s_iFolder = 0;
        char szTemp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strFolder = szTemp + std::string("ostrelin-xml-") +
                      std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_iFolder);
        ::CreateDirectoryA(m_strFolder.c_str(), nullptr);
    }
    ~CScratchFolder()
    {
        for (const std::string& strFile : m_files)
            ::DeleteFileA(strFile.c_str());
        ::RemoveDirectoryA(m_strFolder.c_str());
    }

    std::string Path(const std::string& strName)
    {
        m_files.push_back(m_strFolder + "\\" + strName);
        return m_files.back();
    }
    // The bytes, then as many zero bytes as make cbSize (sparse).
    std::string Write(const std::string& strName, const std::string& strBytes, ULONGLONG cbSize = 0)
    {
        const std::string strPath = Path(strName);
        HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD cbWritten = 0;
        ::WriteFile(hFile, strBytes.data(), static_cast<DWORD>(strBytes.size()), &cbWritten,
                    nullptr);
        LARGE_INTEGER size;
        size.QuadPart = static_cast<LONGLONG>(std::max<ULONGLONG>(cbSize, strBytes.size()));
        EXPECT_TRUE(::SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(hFile));
        ::CloseHandle(hFile);
        return strPath;
    }

private:
    std::string m_strFolder;
    std::vector<std::string> m_files;
};

// Runs pfnAction, which must throw CCOMError; checks the status, the
// expression text, the file of the check point and its one "Thrown" record.
// Returns every debugger-output record of the action.
inline std::vector<std::string> ExpectThrown(const std::function<void()>& pfnAction, HRESULT hr,
                                             const char* pszExpression, const char* pszFile)
{
    CDebugOutputCapture capture;
    try
    {
        pfnAction();
        ADD_FAILURE() << "no error for " << pszExpression;
    }
    catch (const CCOMError& error)
    {
        EXPECT_EQ(hr, error.GetHResult());
        EXPECT_STREQ(pszExpression, error.GetExpression());
        EXPECT_STREQ(pszFile, error.GetPlace().file);
        char szHead[300];
        std::snprintf(szHead, sizeof szHead, "%s(%d): Thrown: HRESULT: 0x%08X : \"", pszFile,
                      error.GetPlace().line, static_cast<unsigned>(hr));
        const std::string strTail =
            std::string("\") ") + pszExpression + ": [" + error.GetPlace().date + "]\n";
        const auto thrown = [&](const std::string& strRecord)
        {
            return strRecord.find(szHead) == 0 && strRecord.size() >= strTail.size() &&
                   strRecord.compare(strRecord.size() - strTail.size(), strTail.size(), strTail) ==
                       0;
        };
        EXPECT_EQ(1, std::count_if(capture.Records().begin(), capture.Records().end(), thrown))
            << szHead << "..." << strTail;
    }
    return capture.Records();
}

// A program of the build's bin folder with pipes for its standard input and
// output; the inheritable handles of this process go with it.
class CChildProcess
{
public:
    CChildProcess(const std::string& strProgram, const std::string& strArguments)
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE hStdin = nullptr;
        HANDLE hStdout = nullptr;
        ::CreatePipe(&hStdin, &m_hToChild, &inherit, 0);
        ::CreatePipe(&m_hFromChild, &hStdout, &inherit, 0);
        ::SetHandleInformation(m_hToChild, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(m_hFromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = hStdin;
        startup.hStdOutput = hStdout;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        std::string strCommand = "\"" + GetBinFolder() + strProgram + "\" " + strArguments;
        EXPECT_TRUE(::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, TRUE, 0, nullptr,
                                     nullptr, &startup, &m_process));
        ::CloseHandle(hStdin);
        ::CloseHandle(hStdout);
    }
    ~CChildProcess() { Finish(); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Ends its input; its exit code and output.
    std::pair<DWORD, std::string> Finish()
    {
        std::pair<DWORD, std::string> result;
        if (m_process.hProcess == nullptr)
            return result;
        ::CloseHandle(m_hToChild);
        char buffer[4096];
        DWORD cbRead = 0;
        while (::ReadFile(m_hFromChild, buffer, sizeof buffer, &cbRead, nullptr) && cbRead > 0)
            result.second.append(buffer, cbRead);
        ::CloseHandle(m_hFromChild);
        ::WaitForSingleObject(m_process.hProcess, INFINITE);
        ::GetExitCodeProcess(m_process.hProcess, &result.first);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
        m_process = PROCESS_INFORMATION{};
        return result;
    }

private:
    PROCESS_INFORMATION m_process{};
    HANDLE m_hToChild = nullptr;
    HANDLE m_hFromChild = nullptr;
};
