// Whether a hostile configuration may be run in the test process: it may
// name only the test task or classes that are not registered, and none of
// the test task's attributes that act outside the process (files, waits,
// process end, reloads without end).
#pragma once

#include <string>

// Loads the file as the launcher does and looks at every element. Empty
// reason: safe; a document that does not load is safe, as no task runs.
std::string WhyUnsafeToRun(const std::string& path);
