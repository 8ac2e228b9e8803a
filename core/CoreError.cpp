#include "CoreError.h"

#include "CoreTrace.h"

#include <exception>
#include <new>

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

HRESULT DescribeCurrentException(char* pszWhat, size_t cchWhat)
{
    char szWords[1]; // where no words were asked for
    if (pszWhat == nullptr || cchWhat == 0)
    {
        pszWhat = szWords;
        cchWhat = sizeof(szWords);
    }
    char szSystem[512];
    HRESULT hr = E_UNEXPECTED;
    try
    {
        throw;
    }
    catch (const std::bad_alloc& error)
    {
        hr = E_OUTOFMEMORY;
        FormatFixedText(pszWhat, cchWhat, "std::exception \"%s\"", error.what());
    }
    catch (const CWin32Error& error)
    {
        hr = error.GetHResult();
        if (pszWhat != szWords)
            FormatSystemMessageFixed(error.GetCode(), szSystem, sizeof(szSystem));
        FormatFixedText(pszWhat, cchWhat, "LastError: %i : \"%s\") %s",
                        static_cast<int>(error.GetCode()), szSystem, error.GetExpression());
    }
    catch (const CCoreError& error)
    {
        hr = error.GetHResult();
        if (pszWhat != szWords)
            FormatSystemMessageFixed(static_cast<DWORD>(hr), szSystem, sizeof(szSystem));
        FormatFixedText(pszWhat, cchWhat, "HRESULT: 0x%08X : \"%s\") %s", static_cast<unsigned>(hr),
                        szSystem, error.GetExpression());
    }
    catch (const CAtlException& error)
    {
        hr = error.m_hr;
        FormatFixedText(pszWhat, cchWhat, "CAtlException 0x%08X", static_cast<unsigned>(hr));
    }
    catch (const std::exception& error)
    {
        FormatFixedText(pszWhat, cchWhat, "std::exception \"%s\"", error.what());
    }
    catch (...)
    {
        FormatFixedText(pszWhat, cchWhat, "an exception of unknown type");
    }
    return FAILED(hr) ? hr : E_FAIL;
}
