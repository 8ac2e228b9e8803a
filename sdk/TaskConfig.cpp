#include "TaskConfig.h"

#include "OstrelinTask.h"
#include "TaskTrace.h"

#include <cwchar>

namespace OstrelinSdk
{
CTaskConfig::CTaskConfig(const char* pszTask, IXMLDOMElement* pElement)
    : m_pszTask(pszTask), m_pElement(pElement)
{
}

std::wstring CTaskConfig::GetText(const wchar_t* pszName, bool fRequired)
{
    std::wstring strValue;
    const bool fPresent = GetTaskAttribute(m_pElement, pszName, strValue);
    if (fRequired && strValue.empty())
        Reject(pszName, fPresent ? &strValue : nullptr, fPresent ? L"is empty" : L"is missing");
    return strValue;
}

int CTaskConfig::GetChoice(const wchar_t* pszName, std::initializer_list<const wchar_t*> choices,
                           int iDefault)
{
    std::wstring strValue, strChoices;
    if (!GetTaskAttribute(m_pElement, pszName, strValue))
        return iDefault;
    int iChoice = 0;
    for (const wchar_t* pszChoice : choices)
    {
        if (::lstrcmpiW(strValue.c_str(), pszChoice) == 0)
            return iChoice;
        strChoices += (iChoice++ ? L", " : L"") + std::wstring(pszChoice);
    }
    Reject(pszName, &strValue, L"is not one of: " + strChoices);
    return iDefault;
}

DWORD CTaskConfig::GetSecondsAsMs(const wchar_t* pszName, DWORD nDefault)
{
    std::wstring strValue;
    if (!GetTaskAttribute(m_pElement, pszName, strValue))
        return nDefault;
    // Up to six digits: eleven days, far from INFINITE.
    if (strValue.empty() || strValue.size() > 6 ||
        strValue.find_first_not_of(L"0123456789") != std::wstring::npos)
    {
        Reject(pszName, &strValue, L"is not a number of seconds (0 to 999999)");
        return nDefault;
    }
    return static_cast<DWORD>(std::wcstoul(strValue.c_str(), nullptr, 10)) * 1000;
}

void CTaskConfig::Reject(const wchar_t* pszName, const std::wstring* pstrValue,
                         const std::wstring& strWhy)
{
    std::wstring strText = pszName;
    if (pstrValue)
        strText += L"=\"" + *pstrValue + L"\"";
    TraceTaskText(m_pszTask, strText + L" " + strWhy);
    m_hr = E_INVALIDARG;
}
} // namespace OstrelinSdk
