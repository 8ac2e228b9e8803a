// Text between the tools' narrow strings (the ANSI code page, UTF-8) and the
// system's wide ones.
#pragma once

#include <windows.h>

#include <string>

// Characters that the code page lacks become its nearest or default
// character, as the system's own narrow forms show them.
std::wstring WideFrom(const std::string& text, UINT uCodePage);
std::string TextFrom(const std::wstring& text, UINT uCodePage);
