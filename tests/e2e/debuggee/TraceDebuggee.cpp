// A program for the trace tests: does what its arguments say, in order.
//   record:TEXT       one OutputDebugStringA call with TEXT
//   box:CAPTION|TEXT  MessageBoxA with MB_OK
//   long:COUNT        a record of COUNT letters a to z, over and over
//   env:NAME          a record with the variable's value
//   cwd               a record with the current directory
//   hang              waits for ever
//   crash             raises an exception nobody handles
//   exit:CODE         ends with CODE (decimal, or hex with 0x)
// TEXT may hold \n, \r, \t, \\ and \xHH.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace
{
const DWORD dwCrashCode = 0xE0C0FFEE;

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\' || i + 1 >= text.size())
        {
            out += text[i];
            continue;
        }
        const char ch = text[++i];
        if (ch == 'n')
            out += '\n';
        else if (ch == 'r')
            out += '\r';
        else if (ch == 't')
            out += '\t';
        else if (ch == 'x' && i + 2 < text.size())
        {
            out += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        }
        else
            out += ch;
    }
    return out;
}

bool StartsWith(const std::string& text, const char* pszPrefix, std::string& rest)
{
    const std::string prefix = pszPrefix;
    if (text.compare(0, prefix.size(), prefix) != 0)
        return false;
    rest = text.substr(prefix.size());
    return true;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    for (int iArg = 1; iArg < __argc; ++iArg)
    {
        const std::string arg = __argv[iArg];
        std::string rest;
        if (StartsWith(arg, "record:", rest))
            ::OutputDebugStringA(Unescape(rest).c_str());
        else if (StartsWith(arg, "box:", rest))
        {
            const size_t iBar = rest.find('|');
            ::MessageBoxA(nullptr, Unescape(rest.substr(iBar + 1)).c_str(),
                          Unescape(rest.substr(0, iBar)).c_str(), MB_OK);
        }
        else if (StartsWith(arg, "long:", rest))
        {
            std::string text(std::strtoul(rest.c_str(), nullptr, 10), ' ');
            for (size_t i = 0; i < text.size(); ++i)
                text[i] = static_cast<char>('a' + i % 26);
            ::OutputDebugStringA(text.c_str());
        }
        else if (StartsWith(arg, "env:", rest))
        {
            const char* pszValue = std::getenv(rest.c_str());
            ::OutputDebugStringA(pszValue != nullptr ? pszValue : "<unset>");
        }
        else if (arg == "cwd")
        {
            char szDir[MAX_PATH] = "";
            ::GetCurrentDirectoryA(MAX_PATH, szDir);
            ::OutputDebugStringA(szDir);
        }
        else if (arg == "hang")
            ::Sleep(INFINITE);
        else if (arg == "crash")
            ::RaiseException(dwCrashCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
        else if (StartsWith(arg, "exit:", rest))
            ::ExitProcess(static_cast<UINT>(std::strtoul(rest.c_str(), nullptr, 0)));
    }
    return 0;
}
