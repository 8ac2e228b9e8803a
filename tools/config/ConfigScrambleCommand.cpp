// scramble <in> <out> [--name NAME]
#include "ConfigCommand.h"
#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigPlainText.h"
#include "ConfigScramble.h"

int RunScrambleCommand(const CCommandArguments& args)
{
    const std::string strName = ReadAsName(args, args.operands[1]);
    std::string strXML;
    if (!ReadWholeFile(args.operands[0], strXML))
        return ExitFailure;
    // Scrambling twice is a mistake: the launcher undoes it once.
    const std::string strScrambledFor = FindScrambledName(strXML, strName);
    if (!strScrambledFor.empty())
    {
        Print(stderr, "ostrelin-config: %s is already scrambled for \"%s\"\n",
              args.operands[0].c_str(), Utf8FromAnsi(strScrambledFor).c_str());
        return ExitRejected;
    }
    if (!WriteWholeFile(args.operands[1], ScrambleConfig(strXML, strName)))
        return ExitFailure;
    Print(stderr, "scrambled for the file name \"%s\"\n", Utf8FromAnsi(strName).c_str());
    return ExitSuccess;
}
