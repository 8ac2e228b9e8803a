#include "ConfigCommandLine.h"

#include "ConfigFiles.h"

#ifdef _WIN32
#include "CommandLine.h"
#endif

#include <cstring>

namespace
{
const char szCommonText[] =
    "\"-\" stands for standard input or output. <command> --help describes one command.\n"
    "Exit codes: 0 done; 1 usage or file error (a file that cannot be read or written);\n"
    "2 input rejected (not scrambled, already scrambled, scrambled for another NAME),\n"
    "or check and where found that a start would end at the guard, that the\n"
    "launcher's run would end in an error or, with --strict, that a task would be\n"
    "skipped. --version shows the tool's version.\n";

// "check [--strict] <file>", "scramble <in> <out> [--name NAME]".
std::string Synopsis(const CCommand& command)
{
    std::string strSynopsis = command.pszName;
    if (command.fOptions & OptionStrict)
        strSynopsis += " [--strict]";
    strSynopsis += std::string(" ") + command.pszOperands;
    if (command.fOptions & OptionName)
        strSynopsis += " [--name NAME]";
    return strSynopsis;
}

void PrintCommand(std::FILE* pOut, const CCommand& command, const char* pszIndent)
{
    std::fprintf(pOut, "%s%s\n", pszIndent, Synopsis(command).c_str());
    for (const char* pszLine = command.pszText; *pszLine != '\0';)
    {
        const char* const pszEnd = std::strchr(pszLine, '\n');
        std::fprintf(pOut, "%s    %.*s\n", pszIndent, static_cast<int>(pszEnd - pszLine), pszLine);
        pszLine = pszEnd + 1;
    }
}

#ifdef _WIN32
// The raw text after the first cArguments arguments of a command line.
const wchar_t* SkipArguments(const wchar_t* psz, size_t cArguments)
{
    for (size_t i = 0; i < cArguments; ++i)
    {
        psz = SkipBlanks(psz);
        NextArgument(psz);
    }
    return SkipBlanks(psz);
}
#endif
} // namespace

std::string ParseCommandArguments(const CCommand& command, const std::vector<std::string>& argv,
                                  const wchar_t* pszCommandLine, CCommandArguments& args,
                                  bool& fHelp)
{
#ifndef _WIN32
    (void)pszCommandLine; // no command takes the rest as typed there
#endif
    const std::string strCommand = command.pszName;
    fHelp = false;
    for (size_t i = 2; i < argv.size(); ++i)
    {
        const std::string& strArg = argv[i];
        if (strArg == "--help" || strArg == "-h")
            fHelp = true;
        else if (strArg == "--strict")
        {
            if (!(command.fOptions & OptionStrict))
                return strCommand + " takes no --strict";
            args.fStrict = true;
        }
        else if (strArg == "--name")
        {
            if (!(command.fOptions & OptionName))
                return strCommand + " takes no --name";
            if (args.fNameGiven)
                return "--name given twice";
            if (i + 1 >= argv.size() || argv[i + 1][0] == '\0')
                return "--name needs a non-empty NAME";
            args.strName = argv[++i];
            args.fNameGiven = true;
        }
        else if (strArg.size() > 1 && strArg[0] == '-')
            return "unknown option \"" + strArg + "\"";
        else
        {
            args.operands.push_back(strArg);
            if (command.fRestAsTyped)
            {
#ifdef _WIN32
                // This operand and all after it, exactly as typed.
                args.pszRest = SkipArguments(pszCommandLine, i);
#endif
                break;
            }
        }
    }
    if (fHelp)
        return std::string();
    const std::string strNeeds = strCommand + " needs " + command.pszNeeds;
    if (args.operands.empty() && command.fRestAsTyped)
        return strNeeds;
    if (args.operands.size() < command.cOperands)
        return strNeeds + (args.operands.empty() ? ": none given" : ": too few");
    if (args.operands.size() > command.cOperands && !command.fRestAsTyped)
        return strNeeds + ": \"" + args.operands[command.cOperands] + "\" is one too many";
    return std::string();
}

void PrintUsage(std::FILE* pOut, const CCommand* pCommands, size_t cCommands)
{
    std::fprintf(pOut, "usage: ostrelin-config <command> <arguments>\n\n");
    for (size_t i = 0; i < cCommands; ++i)
        PrintCommand(pOut, pCommands[i], "  ");
#ifndef _WIN32
    std::fprintf(pOut, "  (check, where and new-task need the Windows build.)\n");
#endif
    std::fprintf(pOut, "\n%s", szCommonText);
}

int PrintCommandHelp(const CCommand& command)
{
    std::printf("usage: ostrelin-config ");
    PrintCommand(stdout, command, "");
    std::printf("\n%s", szCommonText);
    return ExitSuccess;
}

int UsageError(const std::string& strProblem, const CCommand* pCommand, const CCommand* pCommands,
               size_t cCommands)
{
    Print(stderr, "ostrelin-config: %s\n\n", strProblem.c_str());
    if (pCommand == nullptr)
    {
        PrintUsage(stderr, pCommands, cCommands);
        return ExitFailure;
    }
    std::fprintf(stderr, "usage: ostrelin-config ");
    PrintCommand(stderr, *pCommand, "");
    std::fprintf(stderr, "\n(ostrelin-config help lists every command.)\n");
    return ExitFailure;
}
