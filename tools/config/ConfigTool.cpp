// ostrelin-config: prepares and inspects the launcher's configuration files.
#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigScramble.h"

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
#include <string>
#include <new>
#include <stdexcept>
#include <vector>

namespace
{
const char* const pszDefaultName = "Config.xml";

enum ExitCode
{
    ExitSuccess = 0,
    ExitFailure = 1, // usage, or a file that cannot be read or written
    ExitRejected = 2 // the input is not what the command needs, or check found a fault
};

struct CCommand;

struct CArguments
{
    const CCommand* pCommand = nullptr;
    std::vector<std::string> files;
    std::string strName;
    bool fNameGiven = false;
    bool fStrict = false;
    bool fHelp = false;
};

struct CCommand
{
    const char* pszName;
    const char* pszSynopsis;
    const char* pszText;
    int (*pfnRun)(const CArguments& args);
};

const char szCommonText[] =
    "\"-\" stands for standard input or output. <command> --help describes one command.\n"
    "Exit codes: 0 done; 1 usage or file error (a file that cannot be read or written);\n"
    "2 input rejected (not scrambled, already scrambled, scrambled for another NAME),\n"
    "or check and where found that a start would end at the guard, that the\n"
    "launcher's run would end in an error or, with --strict, that a task would be\n"
    "skipped. --version shows the tool's version.\n";

int Scramble(const CArguments& args);
int Unscramble(const CArguments& args);
int Show(const CArguments& args);
#ifdef OSTRELIN_CONFIG_CHECK
int Check(const CArguments& args);
int NewTask(const CArguments& args);
#endif

const CCommand commands[] = {
    {"scramble", "scramble <in> <out> [--name NAME]",
     "Writes the plain XML file <in> to <out> in the scrambled form, for the file\n"
     "name NAME: by default the file name of <out>, or \"Config.xml\" when <out> is\n"
     "\"-\". A renamed scrambled file no longer loads. Refuses an <in> that is\n"
     "scrambled already, and says for which name.\n",
     Scramble},
    {"unscramble", "unscramble <in> <out> [--name NAME]",
     "Writes the plain XML of the scrambled file <in> to <out>, whatever name it\n"
     "was scrambled for; with NAME, only when it was scrambled for NAME.\n",
     Unscramble},
    {"show", "show <file> [--name NAME]",
     "Prints <file> as plain XML, whether it is scrambled or not, and tells on\n"
     "standard error its form: plain, or scrambled for which name. NAME is the\n"
     "name the launcher reads it under: by default the file's own name.\n",
     Show},
#ifdef OSTRELIN_CONFIG_CHECK
    {"check", "check [--strict] <file>",
     "Loads <file> exactly as the launcher does and lists what a start would\n"
     "meet: the guard (an update running), then each task: its CLSID, whether\n"
     "that is registered as an in-process server, whether the registered DLL\n"
     "exists, and what creating it does (in a child process, so that a task that\n"
     "crashes, ends the process or hangs is reported); and what would end the run\n"
     "in an error. --strict: a task that would be skipped counts as a fault too.\n",
     Check},
    {"where", "where [--strict] <launcher> [<arguments>...]",
     "Works out, with the launcher's own code, the configuration path and the\n"
     "instance key of the launcher <launcher> started with this command line\n"
     "(everything after \"where\" and --strict, exactly as typed, quotes\n"
     "included), then checks that configuration as check does, and whether a\n"
     "running copy holds that instance key.\n",
     nullptr},
    {"new-task", "new-task <NAME> <folder>",
     "Makes a task's own project in <folder>, which must be new or empty: the\n"
     "SDK's example under the name NAME with a fresh CLSID, written once in its\n"
     "CMakeLists.txt; then prints how to build, register and run it.\n",
     NewTask},
#endif
};

void PrintCommand(std::FILE* pOut, const CCommand& command, const char* pszIndent)
{
    std::fprintf(pOut, "%s%s\n", pszIndent, command.pszSynopsis);
    for (const char* pszLine = command.pszText; *pszLine != '\0';)
    {
        const char* const pszEnd = std::strchr(pszLine, '\n');
        std::fprintf(pOut, "%s    %.*s\n", pszIndent, static_cast<int>(pszEnd - pszLine), pszLine);
        pszLine = pszEnd + 1;
    }
}

void PrintUsage(std::FILE* pOut)
{
    std::fprintf(pOut, "usage: ostrelin-config <command> <arguments>\n\n");
    for (const CCommand& command : commands)
        PrintCommand(pOut, command, "  ");
#ifndef OSTRELIN_CONFIG_CHECK
    std::fprintf(pOut, "  (check and where need the Windows build.)\n");
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

// The problem, then the usage of the command it concerns, or of all.
int UsageError(const std::string& strProblem, const CCommand* pCommand = nullptr)
{
    Print(stderr, "ostrelin-config: %s\n\n", strProblem.c_str());
    if (pCommand == nullptr)
    {
        PrintUsage(stderr);
        return ExitFailure;
    }
    std::fprintf(stderr, "usage: ostrelin-config ");
    PrintCommand(stderr, *pCommand, "");
    std::fprintf(stderr, "\n(ostrelin-config help lists every command.)\n");
    return ExitFailure;
}

// What is wrong with the files and options given to a command that takes the
// files named in pszFiles, cFiles of them; empty when nothing is.
std::string FindUsageProblem(const CArguments& args, const char* pszFiles, size_t cFiles,
                             bool fNameTaken, bool fStrictTaken)
{
    const std::string strCommand = args.pCommand->pszName;
    if (args.fNameGiven && !fNameTaken)
        return strCommand + " takes no --name";
    if (args.fStrict && !fStrictTaken)
        return strCommand + " takes no --strict";
    if (args.files.size() < cFiles)
        return strCommand + " needs " + pszFiles +
               (args.files.empty() ? ": none given" : ": too few");
    if (args.files.size() > cFiles)
        return strCommand + " needs " + pszFiles + ": \"" + args.files[cFiles] +
               "\" is one too many";
    return std::string();
}

// Empty, or what is wrong: an option the command does not know, or --name
// without its NAME.
std::string ParseArguments(const std::vector<std::string>& argv, CArguments& args)
{
    const size_t argc = argv.size();
    for (size_t i = 2; i < argc; ++i)
    {
        const std::string& strArg = argv[i];
        if (strArg == "--help" || strArg == "-h")
            args.fHelp = true;
        else if (strArg == "--strict")
            args.fStrict = true;
        else if (strArg == "--name")
        {
            if (args.fNameGiven)
                return "--name given twice";
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return "--name needs a non-empty NAME";
            args.strName = argv[++i];
            args.fNameGiven = true;
        }
        else if (strArg.size() > 1 && strArg[0] == '-')
            return "unknown option \"" + strArg + "\"";
        else
            args.files.push_back(strArg);
    }
    return std::string();
}

// The name a file is read under, in the ANSI code page as the launcher
// compares it: the one given, or its own, or the launcher's for standard
// input and output.
std::string ReadAsName(const CArguments& args, const std::string& strPath)
{
    if (args.fNameGiven)
        return AnsiFromUtf8(args.strName);
    const std::string strName = strPath == "-" ? std::string() : FileNameOf(strPath);
    return strName.empty() ? pszDefaultName : strName;
}

int Scramble(const CArguments& args)
{
    const std::string strProblem = FindUsageProblem(args, "<in> and <out>", 2, true, false);
    if (!strProblem.empty())
        return UsageError(strProblem, args.pCommand);
    const std::string strName = ReadAsName(args, args.files[1]);
    std::string strXML;
    if (!ReadWholeFile(args.files[0], strXML))
        return ExitFailure;
    // Scrambling twice is a mistake: the launcher undoes it once.
    const std::string strScrambledFor = FindScrambledName(strXML, strName);
    if (!strScrambledFor.empty())
    {
        Print(stderr, "ostrelin-config: %s is already scrambled for \"%s\"\n",
              args.files[0].c_str(), Utf8FromAnsi(strScrambledFor).c_str());
        return ExitRejected;
    }
    if (!WriteWholeFile(args.files[1], ScrambleConfig(strXML, strName)))
        return ExitFailure;
    Print(stderr, "scrambled for the file name \"%s\"\n", Utf8FromAnsi(strName).c_str());
    return ExitSuccess;
}

// Reads a file and undoes its scrambled form, for whatever name; strName
// tells which name it had, empty for a plain file.
bool ReadPlain(const CArguments& args, const std::string& strPath, std::string& strXML,
               std::string& strName)
{
    if (!ReadWholeFile(strPath, strXML))
        return false;
    strName = FindScrambledName(strXML, ReadAsName(args, strPath));
    const size_t iXML =
        UnscrambleConfigInPlace(&strXML[0], strXML.size(), strName.data(), strName.size());
    strXML.erase(0, iXML);
    return true;
}

int Unscramble(const CArguments& args)
{
    const std::string strProblem = FindUsageProblem(args, "<in> and <out>", 2, true, false);
    if (!strProblem.empty())
        return UsageError(strProblem, args.pCommand);
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.files[0], strXML, strName))
        return ExitFailure;
    if (strName.empty() ||
        (args.fNameGiven && !IsSameScrambleName(strName, AnsiFromUtf8(args.strName))))
    {
        Print(stderr, "ostrelin-config: %s is %s\n", args.files[0].c_str(),
              Utf8FromAnsi(DescribeForm(strName, ReadAsName(args, args.files[0]))).c_str());
        return ExitRejected;
    }
    if (!WriteWholeFile(args.files[1], strXML))
        return ExitFailure;
    Print(stderr, "unscrambled; it was scrambled for \"%s\"\n", Utf8FromAnsi(strName).c_str());
    return ExitSuccess;
}

int Show(const CArguments& args)
{
    const std::string strProblem = FindUsageProblem(args, "one <file>", 1, true, false);
    if (!strProblem.empty())
        return UsageError(strProblem, args.pCommand);
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.files[0], strXML, strName))
        return ExitFailure;
    Print(stderr, "%s\n",
          Utf8FromAnsi(DescribeForm(strName, ReadAsName(args, args.files[0]))).c_str());
    return WriteWholeFile("-", strXML) ? ExitSuccess : ExitFailure;
}

#ifdef OSTRELIN_CONFIG_CHECK
int Check(const CArguments& args)
{
    const std::string strProblem = FindUsageProblem(args, "one <file>", 1, false, true);
    if (!strProblem.empty())
        return UsageError(strProblem, args.pCommand);
    return RunCheck(WideFrom(args.files[0], CP_UTF8), args.fStrict);
}

int NewTask(const CArguments& args)
{
    const std::string strProblem = FindUsageProblem(args, "<NAME> and <folder>", 2, false, false);
    if (!strProblem.empty())
        return UsageError(strProblem, args.pCommand);
    return RunNewTask(args.files[0], WideFrom(args.files[1], CP_UTF8));
}

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

// where takes the launcher's command line as typed, so it reads the raw one.
int Where(const CCommand& command, const std::vector<std::string>& argv)
{
    const size_t iLauncher = argv.size() > 2 && argv[2] == "--strict" ? 3 : 2;
    if (argv.size() <= iLauncher)
        return UsageError("where needs the launcher's path", &command);
    return RunWhere(WideFrom(argv[iLauncher], CP_UTF8),
                    SkipArguments(::GetCommandLineW(), iLauncher), iLauncher == 3);
}
#endif

int Run(const std::vector<std::string>& argv)
{
    const size_t argc = argv.size();
    if (argc < 2)
        return UsageError("no command");
    const std::string strCommand = argv[1];
#ifdef OSTRELIN_CONFIG_CHECK
    if (strCommand == szProbeCommand && argc == 3)
        return RunTaskProbe(WideFrom(argv[2], CP_UTF8).c_str());
#endif
    if (strCommand == "--version")
    {
        std::printf("ostrelin-config %s\n", OSTRELIN_VERSION_TEXT);
        return ExitSuccess;
    }
    if (strCommand == "help" || strCommand == "--help" || strCommand == "-h")
    {
        PrintUsage(stdout);
        return ExitSuccess;
    }
    for (const CCommand& command : commands)
    {
        if (strCommand != command.pszName)
            continue;
        // After where, everything but its own first arguments is the launcher's.
        if (command.pfnRun == nullptr)
        {
#ifdef OSTRELIN_CONFIG_CHECK
            if (argc > 2 && (argv[2] == "--help" || argv[2] == "-h"))
                return PrintCommandHelp(command);
            return Where(command, argv);
#endif
        }
        CArguments args;
        args.pCommand = &command;
        const std::string strProblem = ParseArguments(argv, args);
        if (args.fHelp)
            return PrintCommandHelp(command);
        if (!strProblem.empty())
            return UsageError(strProblem, &command);
        return command.pfnRun(args);
    }
    return UsageError(strCommand == "check" || strCommand == "where"
                          ? strCommand + " needs the Windows build"
                          : "unknown command: " + strCommand);
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
