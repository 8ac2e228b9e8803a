// Reads data out of a debuggee's address space.
#pragma once

#include <windows.h>

#include <string>

// The zero-terminated narrow text at pAddress in hProcess, without its
// terminator. Reads up to the terminator, not by a given length, so that texts
// longer than the 16-bit length of an output event come out whole.
std::string ReadDebuggeeText(HANDLE hProcess, const void* pAddress);

// The same for a wide text, converted to the active ANSI code page.
std::string ReadDebuggeeWideText(HANDLE hProcess, const void* pAddress);
