// Where the COM runtime would find a task's class: the in-process server
// registered for it, and whether that file is there.
#pragma once

#include "CoreText.h"

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

CServerLookup FindInprocServer(const CLSID& clsid);
