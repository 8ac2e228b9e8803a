// The one check of a command's arguments against its declaration, and the
// usage texts made from the command table.
#pragma once

#include "ConfigCommand.h"

#include <cstdio>
#include <string>

// argv: the tool's arguments, UTF-8; argv[1] names command. Empty, or what is
// wrong with them for command. pszCommandLine, the raw command line, gives
// the rest of a command that takes it as typed.
std::string ParseCommandArguments(const CCommand& command, const std::vector<std::string>& argv,
                                  const wchar_t* pszCommandLine, CCommandArguments& args,
                                  bool& fHelp);

void PrintUsage(std::FILE* pOut, const CCommand* pCommands, size_t cCommands);
int PrintCommandHelp(const CCommand& command);
// The problem, then the usage of the command it concerns, or of all
// (pCommand null): ExitFailure.
int UsageError(const std::string& strProblem, const CCommand* pCommand, const CCommand* pCommands,
               size_t cCommands);
