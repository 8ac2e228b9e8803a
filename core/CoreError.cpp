#include "CoreError.h"

#include "CoreTrace.h"

CText CSourceLocation::FormatTraceLine(const CText& strMessage) const
{
    CText strLine;
    if (file == nullptr)
        return strLine;
    FormatText(strLine, "%hs(%d): %s: [%s]\n", file, line, strMessage.GetString(),
               date != nullptr ? date : "");
    return strLine;
}

void CCoreError::Trace(CSourceLocation place, const char* pszLabel) const
{
    CText strMessage;
    FormatText(strMessage, "%s: %s %s", pszLabel, GetDescription().GetString(), m_pszExpression);
    TraceText(place.FormatTraceLine(strMessage));
}

CText CCoreError::GetDescription() const
{
    const CText strSystemText = GetSystemMessage(m_dwCode);
    CText strDescription;
    FormatText(strDescription, m_fWin32 ? "LastError: %i : \"%s\")" : "HRESULT: 0x%08X : \"%s\")",
               static_cast<int>(m_dwCode), strSystemText.GetString());
    return strDescription;
}

void ThrowWin32Error(DWORD dwCode, const CSourceLocation& place, const char* pszExpression)
{
    CWin32Error error(dwCode, place, pszExpression);
    error.Trace(place, "Thrown");
    throw error;
}

void ThrowCOMError(HRESULT hr, const CSourceLocation& place, const char* pszExpression)
{
    CCOMError error(hr, place, pszExpression);
    error.Trace(place, "Thrown");
    throw error;
}
