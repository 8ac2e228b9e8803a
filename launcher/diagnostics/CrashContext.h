// What the run is doing, for a crash record: copied into a fixed buffer (cut to
// fit), no heap, so that the crash path can read it whatever else is broken.
#pragma once

void SetCrashContext(const char* pszContext); // nullptr or "" clears it
const char* GetCrashContext();                // "" when cleared
