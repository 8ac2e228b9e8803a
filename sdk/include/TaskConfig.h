// Reading a task's element. A value that is missing where it is needed, or
// present but wrong, is traced ("StartProgram: Then="stpo" is not one of:
// continue, stop") and remembered: the task then fails its Run with
// E_INVALIDARG, so that a mistyped element shows in the trace instead of being
// skipped silently.
//
//     HRESULT OnInit(IXMLDOMElement* pElement, HANDLE*) override
//     {
//         CTaskConfig config("MyTask", pElement);
//         m_strText = config.GetText(L"Text", true);
//         m_hrConfig = config.GetResult();
//         return S_OK; // a faulty element fails Run, where the launcher reports it
//     }
//     HRESULT OnRun(TaskInstruction& eInstruction) override
//     {
//         CHECK_HRESULT(m_hrConfig);
//         ...
#pragma once

#include "ITask.h"

#include <initializer_list>
#include <string>

namespace OstrelinSdk
{
class CTaskConfig
{
public:
    // pszTask starts every trace record; pElement is read during the calls only.
    CTaskConfig(const char* pszTask, IXMLDOMElement* pElement);

    // The attribute's text; empty when absent. fRequired: absent or empty is an
    // error.
    std::wstring GetText(const wchar_t* pszName, bool fRequired = false);
    // The position of the value among choices, compared without regard to
    // case; iDefault when the attribute is absent.
    int GetChoice(const wchar_t* pszName, std::initializer_list<const wchar_t*> choices,
                  int iDefault);
    // A whole number of seconds (decimal digits) as milliseconds; nDefault when
    // absent.
    DWORD GetSecondsAsMs(const wchar_t* pszName, DWORD nDefault);

    // S_OK, or E_INVALIDARG after the first rejected attribute.
    HRESULT GetResult() const { return m_hr; }

private:
    // pstrValue: the value found, NULL when the attribute is absent.
    void Reject(const wchar_t* pszName, const std::wstring* pstrValue, const std::wstring& strWhy);

    const char* m_pszTask;
    IXMLDOMElement* m_pElement;
    HRESULT m_hr = S_OK;
};
} // namespace OstrelinSdk
