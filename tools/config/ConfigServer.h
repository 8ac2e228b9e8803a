// Where the COM runtime would find a task's class: the in-process server
// registered for it, and whether that file is there.
#pragma once

#include "CoreText.h"

#include <windows.h>

enum class ServerState
{
    NotRegistered,
    Missing, // registered, but no such file: creating the task fails
    Present,
};

struct CServerLookup
{
    ServerState state = ServerState::NotRegistered;
    CText strPath; // as registered, environment variables expanded
};

// The registry view a launcher finds its classes in, that of its own
// bitness: on a 64-bit system a 32-bit launcher's are in the 32-bit view.
struct CRegistryView
{
    REGSAM samView = 0;   // KEY_WOW64_32KEY or KEY_WOW64_64KEY
    CText strDescription; // which view, and whose it is
};

// The view of the launcher at strLauncher; where no launcher is there, the
// view of this tool's own build, which ships beside a launcher of its bitness.
CRegistryView FindRegistryView(const CText& strLauncher);

CServerLookup FindInprocServer(const CLSID& clsid, REGSAM samView);
