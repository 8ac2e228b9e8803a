// The launcher's error family and the check points that raise it.
#pragma once

#include "CoreText.h"

// The place of a check point or of a catch site: compile-time constants.
struct CSourceLocation
{
    const char* file;
    const char* date;
    int line;

    // "file(line): message: [date]\n"; empty when the place has no file.
    CText FormatTraceLine(const CText& strMessage) const;
};

#define CORE_SOURCE_LOCATION()                                                                     \
    CSourceLocation                                                                                \
    {                                                                                              \
        __FILE__, __DATE__, __LINE__                                                               \
    }

class CCoreError
{
public:
    CCoreError(const CSourceLocation& place, const char* pszExpression)
        : m_place(place), m_pszExpression(pszExpression)
    {
    }
    virtual ~CCoreError() = default;

    virtual CText GetDescription() const = 0;
    virtual HRESULT GetHResult() const = 0;

    // Writes "label: description expression" with the given place, one record.
    void Trace(CSourceLocation place, const char* pszLabel) const;
    void TraceCaught(CSourceLocation place) const { Trace(place, "Caught"); }

    const CSourceLocation& GetPlace() const { return m_place; }
    const char* GetExpression() const { return m_pszExpression; }

protected:
    CCoreError(const CCoreError&) = default;
    CCoreError& operator=(const CCoreError&) = default;

private:
    CSourceLocation m_place;
    const char* m_pszExpression;
};

class CWin32Error : public CCoreError
{
public:
    CWin32Error(DWORD dwCode, const CSourceLocation& place, const char* pszExpression)
        : CCoreError(place, pszExpression), m_dwCode(dwCode)
    {
    }

    CText GetDescription() const override;
    HRESULT GetHResult() const override;
    DWORD GetCode() const { return m_dwCode; }

private:
    DWORD m_dwCode;
};

class CCOMError : public CCoreError
{
public:
    CCOMError(HRESULT hr, const CSourceLocation& place, const char* pszExpression)
        : CCoreError(place, pszExpression), m_hr(hr)
    {
    }

    CText GetDescription() const override;
    HRESULT GetHResult() const override { return m_hr; }

private:
    HRESULT m_hr;
};

// Trace "Thrown" with the given place, then throw.
[[noreturn]] void ThrowWin32Error(DWORD dwCode, const CSourceLocation& place,
                                  const char* pszExpression);
[[noreturn]] void ThrowCOMError(HRESULT hr, const CSourceLocation& place,
                                const char* pszExpression);

inline HRESULT CheckHResult(HRESULT hr, const CSourceLocation& place, const char* pszExpression)
{
    if (FAILED(hr))
        ThrowCOMError(hr, place, pszExpression);
    return hr;
}

inline void CheckWin32(bool fPassed, const CSourceLocation& place, const char* pszExpression)
{
    if (!fPassed)
        ThrowWin32Error(::GetLastError(), place, pszExpression);
}

// Check points: the expression is evaluated once; its source text and the place
// where the check stands travel with the error; CHECK_HRESULT gives the value
// that passed. Keep each on one line, so the line in the trace is the line of
// the check.
#define CHECK_HRESULT(expression) ::CheckHResult((expression), CORE_SOURCE_LOCATION(), #expression)
#define CHECK_WIN32(expression) ::CheckWin32(!!(expression), CORE_SOURCE_LOCATION(), #expression)
