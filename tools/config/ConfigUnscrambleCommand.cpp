// unscramble <in> <out> [--name NAME]
#include "ConfigCommand.h"
#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigPlainText.h"

int RunUnscrambleCommand(const CCommandArguments& args)
{
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.operands[0], strXML, strName))
        return ExitFailure;
    if (strName.empty() ||
        (args.fNameGiven && !IsSameScrambleName(strName, AnsiFromUtf8(args.strName))))
    {
        Print(stderr, "ostrelin-config: %s is %s\n", args.operands[0].c_str(),
              Utf8FromAnsi(DescribeForm(strName, ReadAsName(args, args.operands[0]))).c_str());
        return ExitRejected;
    }
    // Written even when it does not parse: support needs to look at the bytes.
    if (!WriteWholeFile(args.operands[1], strXML))
        return ExitFailure;
    Print(stderr, "unscrambled; it was scrambled for \"%s\"\n", Utf8FromAnsi(strName).c_str());
    const std::string strWhy = WhyNotParsed(strXML);
    if (strWhy.empty())
        return ExitSuccess;
    Print(stderr, "ostrelin-config: the unscrambled bytes do not parse: %s\n", strWhy.c_str());
    return ExitFailure;
}
