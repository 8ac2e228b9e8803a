// What scramble, unscramble and show share: the name a file is read under,
// and a file's plain text.
#pragma once

#include "ConfigCommand.h"

#include <string>

// The name a file is read under, in the ANSI code page as the launcher
// compares it: --name's, or the file's own, or the launcher's for standard
// input and output.
std::string ReadAsName(const CCommandArguments& args, const std::string& strPath);

// Reads a file and undoes its scrambled form, for whatever name; strName
// tells which name it had, empty for a plain file. False after a message.
bool ReadPlain(const CCommandArguments& args, const std::string& strPath, std::string& strXML,
               std::string& strName);

// Why the launcher's parser takes no document from plain XML, in words
// (the parser's reason, line and column where it gives them), or empty when it
// does. Always empty where the tool has no parser (the native build).
std::string WhyNotParsed(const std::string& strXML);

#ifdef OSTRELIN_CONFIG_CHECK
class CXMLDoc;
// The same for a document that did not parse.
std::string DescribeParseError(const CXMLDoc& Doc);
#endif
