// Text between the tools' narrow strings (the ANSI code page, UTF-8) and the
// system's wide ones.
#pragma once

#include "CoreText.h"

#include <windows.h>

#include <string>

// Characters that the code page lacks become its nearest or default
// character, as the system's own narrow forms show them.
std::wstring WideFrom(const std::string& text, UINT uCodePage);
std::string TextFrom(const std::wstring& text, UINT uCodePage);

// A path of the ANSI code page as the launcher's functions take it.
inline CWideText WidePath(const std::string& path)
{
    return WideFromText(path.c_str(), static_cast<int>(path.size()));
}
