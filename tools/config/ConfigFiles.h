// Whole-file input and output for the tool, and its messages. Paths and texts
// are UTF-8 (on Windows from the wide command line, and opened wide); "-"
// stands for standard input or output. Failures are reported on standard
// error with the system's words for them.
#pragma once

#include <cstdio>
#include <string>

bool ReadWholeFile(const std::string& strPath, std::string& strData);
// The bytes go to a file beside the target, which then takes the target's
// place in one step (a device is written directly): a failure leaves the
// target as it was.
bool WriteWholeFile(const std::string& strPath, const std::string& strData);

// The last component of a path as the launcher's loader compares it with the
// name in front of a scrambled file: in the ANSI code page.
std::string FileNameOf(const std::string& strPath);

// Text of the ANSI code page (names as the launcher compares them, the
// system's messages) as UTF-8, and back.
std::string Utf8FromAnsi(const std::string& strText);
std::string AnsiFromUtf8(const std::string& strText);

// printf-style UTF-8 text on stdout or stderr. A console shows every letter;
// a file or a pipe gets the UTF-8 bytes.
void Print(std::FILE* pStream, const char* pszFormat, ...);
