// show <file> [--name NAME]
#include "ConfigCommand.h"
#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigPlainText.h"

int RunShowCommand(const CCommandArguments& args)
{
    std::string strXML;
    std::string strName;
    if (!ReadPlain(args, args.operands[0], strXML, strName))
        return ExitFailure;
    Print(stderr, "%s\n",
          Utf8FromAnsi(DescribeForm(strName, ReadAsName(args, args.operands[0]))).c_str());
    if (!WriteWholeFile("-", strXML))
        return ExitFailure;
    // The launcher would end its run in an error on such a file.
    const std::string strWhy = WhyNotParsed(strXML);
    if (strWhy.empty())
        return ExitSuccess;
    Print(stderr, "ostrelin-config: %s does not parse: %s\n", args.operands[0].c_str(),
          strWhy.c_str());
    return ExitFailure;
}
