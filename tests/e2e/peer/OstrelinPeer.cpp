// Plays the updater and other copies of the launcher for the end-to-end tests.
//   ostrelin-peer own NAME                  owns the mutex NAME
//   ostrelin-peer hold NAME                 holds a handle to the mutex NAME, not owning it
//   ostrelin-peer event NAME                holds an event named NAME
//   ostrelin-peer own-instance COMMANDLINE  owns the instance mutex of the launcher
//                                           that COMMANDLINE (the rest, verbatim) starts
// Once in place it writes "ready NAME" to stdout (or "failed NAME ERROR"), then
// obeys lines on stdin: "release" (releases the mutex, answers "released" when it
// owned it) and
// "die" (ends at once, leaving an owned mutex abandoned). The end of stdin ends it.
#include <windows.h>

#include "LaunchPaths.h"

#include <string>

namespace
{
const DWORD nOwnWaitMs = 60000;

void WriteLine(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD cWritten = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &cWritten, nullptr);
}

// A line from stdin without its line end; false at the end of stdin.
bool ReadLine(std::string& line)
{
    line.clear();
    char ch = 0;
    DWORD cRead = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &ch, 1, &cRead, nullptr) && cRead == 1)
    {
        if (ch == '\n')
            return true;
        if (ch != '\r')
            line += ch;
    }
    return !line.empty();
}

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// Splits the raw command line after the program name into the mode and the
// verbatim rest.
void SplitCommandLine(const char* psz, std::string& mode, std::string& rest)
{
    if (*psz == '"')
    {
        for (++psz; *psz != '\0' && *psz != '"'; ++psz)
        {
        }
        if (*psz == '"')
            ++psz;
    }
    for (; *psz != '\0' && !IsBlank(*psz); ++psz)
    {
    }
    for (; IsBlank(*psz); ++psz)
    {
    }
    for (; *psz != '\0' && !IsBlank(*psz); ++psz)
        mode += *psz;
    for (; IsBlank(*psz); ++psz)
    {
    }
    rest = psz;
}

int Fail(const std::string& name)
{
    WriteLine("failed " + name + " " + std::to_string(::GetLastError()));
    return 1;
}
} // namespace

int main()
{
    std::string mode, name;
    SplitCommandLine(::GetCommandLineA(), mode, name);
    if (mode == "own-instance")
    {
        const CText strKey = MakeInstanceKey(name.c_str());
        name = strKey.GetString();
        mode = "own";
    }

    HANDLE hObject = nullptr;
    if (mode == "event")
        hObject = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    else if (mode == "own" || mode == "hold")
        hObject = ::CreateMutexA(nullptr, FALSE, name.c_str());
    else
    {
        WriteLine("usage: ostrelin-peer own|hold|event NAME | own-instance COMMANDLINE");
        return 2;
    }
    if (hObject == nullptr)
        return Fail(name);
    if (mode == "own")
    {
        const DWORD dwWait = ::WaitForSingleObject(hObject, nOwnWaitMs);
        if (dwWait != WAIT_OBJECT_0 && dwWait != WAIT_ABANDONED)
            return Fail(name);
    }
    WriteLine("ready " + name);

    std::string command;
    while (ReadLine(command))
    {
        if (command == "release")
        {
            if (::ReleaseMutex(hObject))
                WriteLine("released");
            else
                WriteLine("not released " + std::to_string(::GetLastError()));
        }
        else if (command == "die")
            ::TerminateProcess(::GetCurrentProcess(), 9);
    }
    ::CloseHandle(hObject);
    return 0;
}
