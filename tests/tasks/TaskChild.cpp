// Started by the StartProgram tests: task_child OUTFILE [EVENT]. Writes
// "<current directory>|<command line>" (UTF-16) to OUTFILE, complete once it
// appears, then waits for the named event, if one is given.
#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>

int main()
{
    int cArgs = 0;
    wchar_t** ppszArgs = CommandLineToArgvW(GetCommandLineW(), &cArgs);
    wchar_t szFolder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, szFolder);
    const std::wstring strText = std::wstring(szFolder) + L"|" + GetCommandLineW();
    const std::wstring strTemp = std::wstring(ppszArgs[1]) + L".tmp";
    std::ofstream(strTemp.c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(strText.data()), strText.size() * sizeof(wchar_t));
    MoveFileW(strTemp.c_str(), ppszArgs[1]);
    if (cArgs > 2)
        WaitForSingleObject(CreateEventW(nullptr, TRUE, FALSE, ppszArgs[2]), INFINITE);
    return 0;
}
