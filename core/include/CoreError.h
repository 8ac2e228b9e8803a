// The launcher's error family and the check points that raise it.
#pragma once

#include <windows.h>

#include <type_traits>

// Declared only: a task that includes the check points gets no text type.
class CText;

// The place of a check point or of a catch site: compile-time constants.
struct CSourceLocation
{
    const char* file;
    const char* date;
    int line;

    // "file(line): message: [date]\n"; empty when the place has no file.
    CText FormatTraceLine(const CText& strMessage) const;
};

#define CORE_SOURCE_LOCATION() (CSourceLocation{__FILE__, __DATE__, __LINE__})

// Keeps the thread's last error across work that may change it (a trace
// record, a close), so that the next check point reports the failure it
// follows.
class CLastErrorKeeper
{
public:
    CLastErrorKeeper() : m_dwError(::GetLastError()) {}
    ~CLastErrorKeeper() { ::SetLastError(m_dwError); }
    CLastErrorKeeper(const CLastErrorKeeper&) = delete;
    CLastErrorKeeper& operator=(const CLastErrorKeeper&) = delete;

private:
    DWORD m_dwError;
};

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

// What the exception being handled is: its failure HRESULT (E_OUTOFMEMORY for
// std::bad_alloc, the error's own for CCoreError and CAtlException,
// E_UNEXPECTED for anything else; E_FAIL where that would read as success)
// and, when pszWhat is given, its words ("std::exception \"...\"") cut to fit
// cchWhat. Needs no heap: it also serves the crash path. Call only while an
// exception is being handled.
HRESULT DescribeCurrentException(char* pszWhat = nullptr, size_t cchWhat = 0);

// What the check points accept, so that a mistake is a compile error:
// CHECK_HRESULT an HRESULT only (a Win32 code or a count is no status), and
// CHECK_WIN32 what tests as true or false on purpose: a bool, a Win32 BOOL or
// BOOLEAN, a pointer or handle, or an object through its explicit operator
// bool (a wrapper such as CXMLDoc or CInterfacePtr). An HRESULT there would
// pass on every failure; a DWORD count or an object that converts to a
// pointer, such as CText, would test something else than meant. (BOOL is int,
// so an int count still passes as a BOOL.)
template <class T>
inline HRESULT CheckHResult(T hr, const CSourceLocation& place, const char* pszExpression)
{
    static_assert(std::is_same<T, HRESULT>::value, "CHECK_HRESULT takes an HRESULT");
    if (FAILED(hr))
        ThrowCOMError(hr, place, pszExpression);
    return hr;
}

template <class T> inline bool IsWin32Success(const T& value)
{
    if constexpr (std::is_class<T>::value)
    {
        static_assert(std::is_constructible<bool, const T&>::value &&
                          !std::is_convertible<const T&, bool>::value,
                      "CHECK_WIN32 tests an object only through its explicit operator bool");
        return static_cast<bool>(value);
    }
    else
    {
        static_assert(std::is_same<T, bool>::value || std::is_same<T, BOOL>::value ||
                          std::is_same<T, BOOLEAN>::value || std::is_pointer<T>::value ||
                          std::is_null_pointer<T>::value,
                      "CHECK_WIN32 tests a bool, a BOOL, a pointer or a handle; an HRESULT "
                      "goes to CHECK_HRESULT, a count to a comparison");
        return value != T();
    }
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
#define CHECK_WIN32(expression)                                                                    \
    ::CheckWin32(::IsWin32Success((expression)), CORE_SOURCE_LOCATION(), #expression)
