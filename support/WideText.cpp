#include "WideText.h"

std::wstring WideFrom(const std::string& text, UINT uCodePage)
{
    const int cb = static_cast<int>(text.size());
    const int cch = cb == 0 ? 0 : ::MultiByteToWideChar(uCodePage, 0, text.data(), cb, nullptr, 0);
    std::wstring wide(static_cast<size_t>(cch), L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(uCodePage, 0, text.data(), cb, &wide[0], cch);
    return wide;
}

std::string TextFrom(const std::wstring& wide, UINT uCodePage)
{
    const int cch = static_cast<int>(wide.size());
    const int cb = cch == 0 ? 0
                            : ::WideCharToMultiByte(uCodePage, 0, wide.data(), cch, nullptr, 0,
                                                    nullptr, nullptr);
    std::string text(static_cast<size_t>(cb), '\0');
    if (cb > 0)
        ::WideCharToMultiByte(uCodePage, 0, wide.data(), cch, &text[0], cb, nullptr, nullptr);
    return text;
}
