// ostrelin-config: prepares and inspects the launcher's configuration files.
#include "ConfigCommand.h"
#include "ConfigCommandLine.h"
#include "ConfigFiles.h"

#ifdef OSTRELIN_CONFIG_CHECK
#include "ConfigCheck.h"
#include "ConfigNewTask.h"
#include "ConfigTaskProbe.h"
#include "ConfigWhere.h"
#endif
#ifdef _WIN32
#include "CommandLine.h"
#include "ReplacementFile.h"
#include "SystemLibrary.h"
#include "WideText.h"

#include <windows.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
// Every command, with what it takes: the arguments are checked against this
// before its handler runs (ConfigCommandLine.cpp), and help is made of it.
const CCommand commands[] = {
    {"scramble", "<in> <out>", "<in> and <out>", 2, false, OptionName,
     "Writes the plain XML file <in> to <out> in the scrambled form, for the file\n"
     "name NAME: by default the file name of <out>, or \"Config.xml\" when <out> is\n"
     "\"-\". A renamed scrambled file no longer loads. Refuses an <in> that is\n"
     "scrambled already, and says for which name.\n",
     RunScrambleCommand},
    {"unscramble", "<in> <out>", "<in> and <out>", 2, false, OptionName,
     "Writes the plain XML of the scrambled file <in> to <out>, whatever name it\n"
     "was scrambled for; with NAME, only when it was scrambled for NAME.\n",
     RunUnscrambleCommand},
    {"show", "<file>", "one <file>", 1, false, OptionName,
     "Prints <file> as plain XML, whether it is scrambled or not, and tells on\n"
     "standard error its form: plain, or scrambled for which name. NAME is the\n"
     "name the launcher reads it under: by default the file's own name.\n",
     RunShowCommand},
#ifdef OSTRELIN_CONFIG_CHECK
    {"check", "<file>", "one <file>", 1, false, OptionStrict,
     "Loads <file> exactly as the launcher does and lists what a start would\n"
     "meet: the guard (an update running), then each task: its CLSID, whether\n"
     "that is registered as an in-process server, whether the registered DLL\n"
     "exists, and what creating it does (in a child process, so that a task that\n"
     "crashes, ends the process or hangs is reported); and what would end the run\n"
     "in an error. --strict: a task that would be skipped counts as a fault too.\n",
     [](const CCommandArguments& args)
     { return RunCheck(WideFrom(args.operands[0], CP_UTF8), args.fStrict); }},
    {"where", "<launcher> [<arguments>...]", "the launcher's path", 1, true, OptionStrict,
     "Works out, with the launcher's own code, the configuration path and the\n"
     "instance key of the launcher <launcher> started with this command line\n"
     "(everything after \"where\" and --strict, exactly as typed, quotes\n"
     "included), then checks that configuration as check does, and whether a\n"
     "running copy holds that instance key.\n",
     [](const CCommandArguments& args)
     { return RunWhere(WideFrom(args.operands[0], CP_UTF8), args.pszRest, args.fStrict); }},
    {"new-task", "<NAME> <folder>", "<NAME> and <folder>", 2, false, 0,
     "Makes a task's own project in <folder>, which must be new or empty: the\n"
     "SDK's example under the name NAME with a fresh CLSID, written once in its\n"
     "CMakeLists.txt; then prints how to build, register and run it.\n",
     [](const CCommandArguments& args)
     { return RunNewTask(args.operands[0], WideFrom(args.operands[1], CP_UTF8)); }},
#endif
};
const size_t cCommands = sizeof(commands) / sizeof(commands[0]);

int Run(const std::vector<std::string>& argv)
{
    if (argv.size() < 2)
        return UsageError("no command", nullptr, commands, cCommands);
    const std::string strCommand = argv[1];
#ifdef OSTRELIN_CONFIG_CHECK
    if (strCommand == szProbeCommand && (argv.size() == 4 || argv.size() == 5))
        return RunTaskProbe(WideFrom(argv[2], CP_UTF8).c_str(), WideFrom(argv[3], CP_UTF8).c_str(),
                            argv.size() == 5 ? WideFrom(argv[4], CP_UTF8).c_str() : nullptr);
#endif
    if (strCommand == "--version")
    {
        std::printf("ostrelin-config %s\n", OSTRELIN_VERSION_TEXT);
        return ExitSuccess;
    }
    if (strCommand == "help" || strCommand == "--help" || strCommand == "-h")
    {
        PrintUsage(stdout, commands, cCommands);
        return ExitSuccess;
    }
    for (const CCommand& command : commands)
    {
        if (strCommand != command.pszName)
            continue;
        CCommandArguments args;
        bool fHelp = false;
#ifdef _WIN32
        const wchar_t* const pszCommandLine = ::GetCommandLineW();
#else
        const wchar_t* const pszCommandLine = nullptr;
#endif
        const std::string strProblem =
            ParseCommandArguments(command, argv, pszCommandLine, args, fHelp);
        if (fHelp)
            return PrintCommandHelp(command);
        if (!strProblem.empty())
            return UsageError(strProblem, &command, commands, cCommands);
        return command.pfnRun(args);
    }
    return UsageError(strCommand == "check" || strCommand == "where" || strCommand == "new-task"
                          ? strCommand + " needs the Windows build"
                          : "unknown command: " + strCommand,
                      nullptr, commands, cCommands);
}
// Run, with a file too large for this process's memory ending as a file
// error, not as the runtime's abort.
int RunWithin(const std::vector<std::string>& argv)
{
    try
    {
        return Run(argv);
    }
    catch (const std::bad_alloc&)
    {
    }
    catch (const std::length_error&)
    {
    }
#ifdef _WIN32
    Print(stderr, "ostrelin-config: %s\n",
          Utf8FromAnsi(DescribeSystemError(ERROR_NOT_ENOUGH_MEMORY)).c_str());
#else
    Print(stderr, "ostrelin-config: %s\n", std::strerror(ENOMEM));
#endif
    return ExitFailure;
}
} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Wide, so that paths whose letters the ANSI code page lacks are taken
    // as typed; UTF-8 from here on.
    (void)argc;
    (void)argv;
    std::vector<std::string> arguments;
    for (const std::wstring& strArgument : GetWideArguments())
        arguments.push_back(TextFrom(strArgument, CP_UTF8));
    // The child that creates a task searches DLLs as the launcher's process
    // does, for the task's own; the tool itself loads from the system folder only.
    if (arguments.size() < 2 || arguments[1] != szProbeCommand)
        LimitDllSearchToSystem();
    return RunWithin(arguments);
#else
    return RunWithin(std::vector<std::string>(argv, argv + argc));
#endif
}
