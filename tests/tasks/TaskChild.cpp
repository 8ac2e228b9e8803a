// Started by the StartProgram tests: task_child OUTFILE [EVENT]. Writes
// "<current directory>|<command line>" to OUTFILE, complete once it appears,
// then waits for the named event, if one is given (a minute at most).
#include <windows.h>

#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    char szFolder[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, szFolder);
    const std::string temp = std::string(argv[argc > 1 ? 1 : 0]) + ".tmp";
    std::ofstream(temp, std::ios::binary) << szFolder << "|" << ::GetCommandLineA();
    ::MoveFileA(temp.c_str(), argv[argc > 1 ? 1 : 0]);
    if (argc > 2)
        ::WaitForSingleObject(::CreateEventA(nullptr, TRUE, FALSE, argv[2]), 60000);
    return 0;
}
