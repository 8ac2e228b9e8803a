// ostrelin-config: prepares and inspects the launcher's configuration files.
#include "ConfigFiles.h"
#include "ConfigScramble.h"

#ifdef OSTRELIN_CONFIG_CHECK
#include "ConfigCheck.h"
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace
{
const char* const kDefaultName = "Config.xml";

enum ExitCode
{
    ExitSuccess = 0,
    ExitFailure = 1, // usage, or a file that cannot be read or written
    ExitRejected = 2 // the input is not what the command needs, or check found a fault
};

void PrintUsage(std::FILE* pOut)
{
    std::fprintf(
        pOut,
        "usage: ostrelin-config <command> <arguments>\n"
        "\n"
        "  scramble <in> <out> [--name NAME]\n"
        "      Writes the plain XML file <in> to <out> in the scrambled form. NAME is the\n"
        "      file name the launcher will read it under; it defaults to the file name of\n"
        "      <out>, or \"%s\" when <out> is \"-\". A renamed scrambled file no longer\n"
        "      loads.\n"
        "  unscramble <in> <out> [--name NAME]\n"
        "      Writes the plain XML of the scrambled file <in> to <out>. Without NAME the\n"
        "      file name of <in> and then \"%s\" are tried. Fails when <in> is not\n"
        "      scrambled for the name.\n"
        "  show <file> [--name NAME]\n"
        "      Prints <file> as plain XML, whether it is scrambled or not.\n"
#ifdef OSTRELIN_CONFIG_CHECK
        "  check <file>\n"
        "      Loads <file> exactly as the launcher does and lists the tasks it would run,\n"
        "      with each CLSID, whether it parses and whether it is registered as an\n"
        "      in-process server; flags what would end the launcher's run.\n"
#else
        "  (check needs the Windows build.)\n"
#endif
        "\n"
        "\"-\" stands for standard input or output.\n"
        "Exit codes: 0 done; 1 usage or file error; 2 input rejected (not scrambled, already\n"
        "scrambled) or check found what would end the launcher's run.\n",
        kDefaultName, kDefaultName);
}

int UsageError(const char* pszProblem)
{
    std::fprintf(stderr, "ostrelin-config: %s\n\n", pszProblem);
    PrintUsage(stderr);
    return ExitFailure;
}

struct CArguments
{
    std::vector<std::string> files;
    std::string strName; // empty: not given
    bool fNameGiven = false;
};

bool ParseArguments(int argc, char** argv, CArguments& args)
{
    for (int i = 2; i < argc; ++i)
    {
        const std::string strArg = argv[i];
        if (strArg == "--name")
        {
            if (args.fNameGiven || i + 1 >= argc || argv[i + 1][0] == '\0')
                return false;
            args.strName = argv[++i];
            args.fNameGiven = true;
        }
        else
        {
            args.files.push_back(strArg);
        }
    }
    return true;
}

std::string DefaultName(const std::string& strPath)
{
    const std::string strName = strPath == "-" ? std::string() : FileNameOf(strPath);
    return strName.empty() ? kDefaultName : strName;
}

// The names a scrambled file may carry: the one given, or its own and the
// launcher's.
std::vector<std::string> CandidateNames(const CArguments& args, const std::string& strPath)
{
    if (args.fNameGiven)
        return {args.strName};
    std::vector<std::string> names{DefaultName(strPath)};
    if (names.front() != kDefaultName)
        names.push_back(kDefaultName);
    return names;
}

// The name piece the data is scrambled for, or empty for plain data.
std::string FindScrambledName(const std::string& strData, const std::vector<std::string>& names)
{
    for (const std::string& strName : names)
    {
        if (IsScrambledConfig(strData.data(), strData.size(), strName.data(), strName.size()))
            return strName;
    }
    return std::string();
}

int Scramble(const CArguments& args)
{
    if (args.files.size() != 2)
        return UsageError("scramble needs <in> and <out>");
    const std::string strName = args.fNameGiven ? args.strName : DefaultName(args.files[1]);
    std::string strXML;
    if (!ReadWholeFile(args.files[0], strXML))
        return ExitFailure;
    // Scrambling twice is a mistake: the launcher undoes it once.
    const std::string strScrambledFor =
        FindScrambledName(strXML, {strName, DefaultName(args.files[0]), kDefaultName});
    if (!strScrambledFor.empty())
    {
        std::fprintf(stderr, "ostrelin-config: %s is already scrambled for \"%s\"\n",
                     args.files[0].c_str(), strScrambledFor.c_str());
        return ExitRejected;
    }
    if (!WriteWholeFile(args.files[1], ScrambleConfig(strXML, strName)))
        return ExitFailure;
    std::fprintf(stderr, "scrambled for the file name \"%s\"\n", strName.c_str());
    return ExitSuccess;
}

// Reads a file and undoes its scrambled form; strName tells which name it had.
bool ReadPlain(const CArguments& args, const std::string& strPath, std::string& strXML,
               std::string& strName)
{
    if (!ReadWholeFile(strPath, strXML))
        return false;
    strName = FindScrambledName(strXML, CandidateNames(args, strPath));
    const size_t iXML =
        UnscrambleConfigInPlace(&strXML[0], strXML.size(), strName.data(), strName.size());
    strXML.erase(0, iXML);
    return true;
}

int Unscramble(const CArguments& args)
{
    if (args.files.size() != 2)
        return UsageError("unscramble needs <in> and <out>");
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.files[0], strXML, strName))
        return ExitFailure;
    if (strName.empty())
    {
        std::fprintf(stderr, "ostrelin-config: %s is not scrambled for \"%s\"\n",
                     args.files[0].c_str(), CandidateNames(args, args.files[0]).front().c_str());
        return ExitRejected;
    }
    if (!WriteWholeFile(args.files[1], strXML))
        return ExitFailure;
    std::fprintf(stderr, "unscrambled; it was scrambled for \"%s\"\n", strName.c_str());
    return ExitSuccess;
}

int Show(const CArguments& args)
{
    if (args.files.size() != 1)
        return UsageError("show needs one <file>");
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.files[0], strXML, strName))
        return ExitFailure;
    if (strName.empty())
        std::fprintf(stderr, "plain file\n");
    else
        std::fprintf(stderr, "scrambled for \"%s\"\n", strName.c_str());
    return WriteWholeFile("-", strXML) ? ExitSuccess : ExitFailure;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return UsageError("no command");
    const std::string strCommand = argv[1];
    if (strCommand == "help" || strCommand == "--help" || strCommand == "-h")
    {
        PrintUsage(stdout);
        return ExitSuccess;
    }
    CArguments args;
    if (!ParseArguments(argc, argv, args))
        return UsageError("--name needs a non-empty NAME, once");
    if (strCommand == "scramble")
        return Scramble(args);
    if (strCommand == "unscramble")
        return Unscramble(args);
    if (strCommand == "show")
        return Show(args);
    if (strCommand == "check")
    {
#ifdef OSTRELIN_CONFIG_CHECK
        if (args.files.size() != 1 || args.fNameGiven)
            return UsageError("check needs one <file> and no --name");
        return RunCheck(args.files[0].c_str());
#else
        return UsageError("check needs the Windows build");
#endif
    }
    return UsageError(("unknown command: " + strCommand).c_str());
}
