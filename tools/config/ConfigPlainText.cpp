#include "ConfigPlainText.h"

#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigScramble.h"

std::string ReadAsName(const CCommandArguments& args, const std::string& strPath)
{
    if (args.fNameGiven)
        return AnsiFromUtf8(args.strName);
    const std::string strName = strPath == "-" ? std::string() : FileNameOf(strPath);
    return strName.empty() ? "Config.xml" : strName;
}

bool ReadPlain(const CCommandArguments& args, const std::string& strPath, std::string& strXML,
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
