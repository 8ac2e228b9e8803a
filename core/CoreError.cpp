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

CText CWin32Error::GetDescription() const
{
    const CText strSystemText = GetSystemMessage(m_dwCode);
    CText strDescription;
    FormatText(strDescription, "LastError: %i : \"%s\")", static_cast<int>(m_dwCode),
               strSystemText.GetString());
    return strDescription;
}

HRESULT CWin32Error::GetHResult() const
{
    return HRESULT_FROM_WIN32(m_dwCode);
}

CText CCOMError::GetDescription() const
{
    const CText strSystemText = GetSystemMessage(static_cast<DWORD>(m_hr));
    CText strDescription;
    FormatText(strDescription, "HRESULT: 0x%08X : \"%s\")", static_cast<unsigned>(m_hr),
               strSystemText.GetString());
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
