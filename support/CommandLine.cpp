#include "CommandLine.h"

#include "CoreHandle.h"

#include <windows.h>

#include <shellapi.h>

namespace
{
bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}
} // namespace

std::vector<std::wstring> GetWideArguments()
{
    int cArguments = 0;
    const CLocalMemory<LPWSTR> arguments(::CommandLineToArgvW(::GetCommandLineW(), &cArguments));
    std::vector<std::wstring> result;
    for (int i = 0; arguments && i < cArguments; ++i)
        result.emplace_back(arguments.Get()[i]);
    return result;
}

const wchar_t* SkipBlanks(const wchar_t* psz)
{
    while (IsBlank(*psz))
        ++psz;
    return psz;
}

std::wstring NextArgument(const wchar_t*& psz)
{
    std::wstring argument;
    bool fQuoted = false;
    for (; *psz != L'\0' && (fQuoted || !IsBlank(*psz)); ++psz)
    {
        if (*psz == L'"')
            fQuoted = !fQuoted;
        else
            argument += *psz;
    }
    return argument;
}
