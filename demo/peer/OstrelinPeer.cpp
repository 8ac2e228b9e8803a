// Plays the updater or a squatter for the demo and the message box pictures:
//   ostrelin-peer own NAME     owns the mutex NAME, as the updater does
//   ostrelin-peer event NAME   holds an event named NAME (a name of another kind)
// Once in place it writes "ready NAME" to stdout (or "failed NAME ERROR"), then
// obeys lines on stdin: "release" gives up the mutex (answer "released"). The
// end of stdin ends it.
#include <windows.h>

#include <string>

namespace
{
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
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "", name = argc == 3 ? argv[2] : "";
    if (mode != "own" && mode != "event")
    {
        WriteLine("usage: ostrelin-peer own|event NAME");
        return 2;
    }
    const HANDLE hObject = mode == "event" ? ::CreateEventA(nullptr, TRUE, FALSE, name.c_str())
                                           : ::CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD dwWait = hObject && mode == "own" ? ::WaitForSingleObject(hObject, 60000) : 0;
    if (hObject == nullptr || (dwWait != WAIT_OBJECT_0 && dwWait != WAIT_ABANDONED))
    {
        WriteLine("failed " + name + " " + std::to_string(::GetLastError()));
        return 1;
    }
    WriteLine("ready " + name);
    for (std::string command; ReadLine(command);)
    {
        if (command == "release")
            WriteLine(::ReleaseMutex(hObject) ? "released" : "not released");
    }
    ::CloseHandle(hObject);
    return 0;
}
