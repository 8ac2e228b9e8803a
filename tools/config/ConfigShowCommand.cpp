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
    return WriteWholeFile("-", strXML) ? ExitSuccess : ExitFailure;
}
