// The tools' own command line, read wide, so that paths whose letters the
// ANSI code page lacks arrive as typed.
#pragma once

#include <string>
#include <vector>

// The arguments as the C runtime splits them, the program's own first.
std::vector<std::wstring> GetWideArguments();

// Raw command-line text as the tools take it apart: blanks separate
// arguments, and a double quote starts or ends a run in which blanks count
// as text; the quotes themselves are dropped.
const wchar_t* SkipBlanks(const wchar_t* psz);
// The argument at psz (after SkipBlanks); psz moves past it.
std::wstring NextArgument(const wchar_t*& psz);
