// A command of ostrelin-config as its table declares it: what it takes, its
// help, and its handler, which runs only after the arguments were checked
// against that declaration.
#pragma once

#include <string>
#include <vector>

enum ExitCode
{
    ExitSuccess = 0,
    ExitFailure = 1, // usage, or a file that cannot be read or written
    ExitRejected = 2 // the input is not what the command needs, or check found a fault
};

// The options a command may take.
enum CommandOption : unsigned
{
    OptionName = 1,   // --name NAME
    OptionStrict = 2, // --strict, before the operands
};

struct CCommandArguments
{
    std::vector<std::string> operands;
    std::string strName; // --name's, UTF-8
    bool fNameGiven = false;
    bool fStrict = false;
    // For a command that takes the rest as typed: the raw command line from
    // its first operand on, quotes included.
    const wchar_t* pszRest = nullptr;
};

struct CCommand
{
    const char* pszName;
    const char* pszOperands; // "<in> <out>", as the usage shows them
    const char* pszNeeds;    // "<in> and <out>", as a usage error names them
    size_t cOperands;        // exactly this many, or at least one with fRestAsTyped
    bool fRestAsTyped;       // everything after the first operand is another program's
    unsigned fOptions;       // CommandOption
    const char* pszText;     // the help, lines ending in '\n'
    int (*pfnRun)(const CCommandArguments& args);
};

// scramble, unscramble and show, each in a file of its own.
int RunScrambleCommand(const CCommandArguments& args);
int RunUnscrambleCommand(const CCommandArguments& args);
int RunShowCommand(const CCommandArguments& args);
