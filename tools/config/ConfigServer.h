// Where the COM runtime would find a task's class: the in-process server
// registered for it, and whether that file is there.
#pragma once

#include <windows.h>

#include <string>

enum class ServerState
{
    NotRegistered,
    Missing, // registered, but no such file: creating the task fails
    Present,
};

struct CServerLookup
{
    ServerState state = ServerState::NotRegistered;
    std::wstring strPath; // as COM reads it: expanded, unquoted
};

// The registry view a launcher finds its classes in, that of its own
// bitness: on a 64-bit system a 32-bit launcher's are in the 32-bit view.
struct CRegistryView
{
    REGSAM samView = 0;         // KEY_WOW64_32KEY or KEY_WOW64_64KEY
    bool fOwn = false;          // this tool's own: it can create the launcher's classes
    std::string strDescription; // which view, and whose it is (UTF-8)
};

// The view of the launcher at strLauncher; where no launcher is there, the
// view of this tool's own build, which ships beside a launcher of its bitness.
CRegistryView FindRegistryView(const std::wstring& strLauncher);

CServerLookup FindInprocServer(const CLSID& clsid, REGSAM samView);
