// Which form a configuration file's bytes are in: plain, or scrambled for a
// name, which may be another than the name the file is read under.
#pragma once

#include <string>

// The name the data is scrambled for, or empty for plain data. The name the
// file is read under counts first (the launcher's own test); otherwise any
// other name is recognised: the complemented bytes in front of the
// document's first '<' or byte order mark.
std::string FindScrambledName(const std::string& strData, const std::string& strReadAs);

// Whether the launcher takes data scrambled for strName when it reads the
// file as strReadAs: the names are equal but for the case of ASCII letters.
bool IsSameScrambleName(const std::string& strName, const std::string& strReadAs);

// "plain", "scrambled for "Config.xml"", or, for another name, that name and
// what it means for the launcher.
std::string DescribeForm(const std::string& strName, const std::string& strReadAs);
