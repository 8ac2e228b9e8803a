#include "ConfigPlainText.h"

#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigScramble.h"

#ifdef OSTRELIN_CONFIG_CHECK
#include "ComApartment.h"
#include "CoreXML.h"
#endif

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

#ifdef OSTRELIN_CONFIG_CHECK
std::string DescribeParseError(const CXMLDoc& Doc)
{
    CText strReason;
    long nLine = 0, nColumn = 0;
    Doc.GetParseError(strReason, nLine, nColumn);
    std::string strWhy = strReason.IsEmpty() ? "the parser gives no reason"
                                             : "\"" + Utf8FromAnsi(strReason.GetString()) + "\"";
    strWhy += nLine > 0
                  ? " at line " + std::to_string(nLine) + ", column " + std::to_string(nColumn)
                  : ", and no line or column";
    return strWhy;
}
#endif

std::string WhyNotParsed(const std::string& strXML)
{
#ifdef OSTRELIN_CONFIG_CHECK
    const CComApartment apartment;
    try
    {
        const CXMLDoc Doc = CXMLDoc::FromBytes(strXML.data(), static_cast<ULONG>(strXML.size()));
        return Doc.GetDocumentElement() ? std::string() : DescribeParseError(Doc);
    }
    catch (const CCoreError&)
    {
        return "the parser cannot be started";
    }
#else
    (void)strXML;
    return std::string();
#endif
}
