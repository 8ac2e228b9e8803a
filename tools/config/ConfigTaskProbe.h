// A task created as the launcher creates it, in process for ITask, but in a
// child process of this tool's own: a task that crashes, ends the process,
// shows a window or hangs while it is created ends or stalls the child, not
// the tool. The child answers through a pipe of its own, so nothing a task
// writes to its standard streams passes for an answer.
#pragma once

#include <windows.h>

#include <string>

enum class ProbeOutcome
{
    Created,   // hr and fInterface tell how
    Crashed,   // dwCode, strWhere
    Exited,    // the process ended with dwCode during creation
    Hung,      // no answer within the time limit
    Waits,     // strWhere: the caption of the window it shows
    NotStarted // dwCode: the system's error starting the child
};

struct CProbeResult
{
    ProbeOutcome outcome = ProbeOutcome::NotStarted;
    HRESULT hr = E_FAIL;
    bool fInterface = false;
    DWORD dwCode = 0;
    std::string strWhere;  // "in RedTask.dll+0x1234", "at <address>" outside any module; a caption
    std::string strModule; // Created with an interface: the DLL that serves it, UTF-8
};

extern const DWORD nProbeTimeLimitMs;

// Runs this tool again with the hidden command below and reads its answer.
// pszManifest: the installation's task manifest, activated in the child as
// the launcher activates it, or nullptr.
CProbeResult ProbeTaskCreation(const CLSID& clsid, const wchar_t* pszManifest);

// The hidden command's own name, and its work in the child: creates the class
// named by pszClsid, within the task manifest pszManifest if not null, and
// writes the answer to the pipe whose inherited handle pszAnswer spells.
extern const char szProbeCommand[];
int RunTaskProbe(const wchar_t* pszClsid, const wchar_t* pszAnswer, const wchar_t* pszManifest);
