// Whole-file input and output for the tool; "-" stands for standard input or
// output. Failures are reported on standard error.
#pragma once

#include <string>

bool ReadWholeFile(const std::string& strPath, std::string& strData);
bool WriteWholeFile(const std::string& strPath, const std::string& strData);

// The last component of a path, as the launcher's loader takes it.
std::string FileNameOf(const std::string& strPath);
