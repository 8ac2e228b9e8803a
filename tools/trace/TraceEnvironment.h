// The environment ostrelin-trace hands the program: OSTRELIN_EXPLAIN turns on
// the launcher's explained trace of its run.
#pragma once

#include <string>

// Sets OSTRELIN_EXPLAIN=1 in this process's environment, which the program
// inherits, unless it is set already (the user's value goes on) or noExplain
// asks for the program to start without it. Returns what the program gets, in
// words for the header.
std::string PrepareExplainVariable(bool noExplain);
