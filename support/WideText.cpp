#include "WideText.h"

#include "CoreBSTR.h"

// The core's conversions, in the standard strings the tools use.
std::wstring WideFrom(const std::string& text, UINT uCodePage)
{
    const CWideText wide = WideFromText(text.data(), static_cast<int>(text.size()), uCodePage);
    return std::wstring(wide.c_str(), wide.size());
}

std::string TextFrom(const std::wstring& wide, UINT uCodePage)
{
    const CText text = TextFromWide(wide.data(), static_cast<int>(wide.size()), uCodePage);
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}
