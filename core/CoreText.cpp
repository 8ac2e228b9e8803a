#include "CoreText.h"

#include <cstring>
#include <new>

namespace
{
// Turns the standard library's allocation failure into the text layer's own.
template <class F> auto WithAtlMemory(F f) -> decltype(f())
{
    try
    {
        return f();
    }
    catch (const std::bad_alloc&)
    {
        AtlThrow(E_OUTOFMEMORY);
    }
}

const char* CheckedArgument(const char* psz)
{
    if (psz == nullptr)
        AtlThrow(E_INVALIDARG);
    return psz;
}

bool IsOneOf(char ch, const char* pszChars)
{
    return ch != '\0' && std::strchr(pszChars, ch) != nullptr;
}

bool IsWhiteSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}
} // namespace

void AtlThrow(HRESULT hr)
{
    throw CAtlException(hr);
}

CText::CText(const char* psz)
{
    WithAtlMemory([&] { m_str.assign(CheckedArgument(psz)); });
}

CText::CText(const char* pch, int cch)
{
    if (cch < 0 || (pch == nullptr && cch > 0))
        AtlThrow(E_INVALIDARG);
    WithAtlMemory([&] { m_str.assign(pch, static_cast<size_t>(cch)); });
}

int CText::CharLength(int iPos) const
{
    // A lead byte at the very end stands alone: never step past the text.
    if (iPos + 1 < GetLength() && ::IsDBCSLeadByte(static_cast<BYTE>(m_str[iPos])))
        return 2;
    return 1;
}

int CText::Find(const char* pszSub, int iStart) const
{
    CheckedArgument(pszSub);
    const size_t cchSub = std::strlen(pszSub);
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        if (i < iStart)
            continue;
        if (m_str.compare(static_cast<size_t>(i), cchSub, pszSub) == 0)
            return i;
    }
    return -1;
}

int CText::ReverseFind(char ch) const
{
    int iFound = -1;
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        if (m_str[i] == ch)
            iFound = i;
    }
    return iFound;
}

CText CText::Left(int cch) const
{
    if (cch < 0)
        cch = 0;
    if (cch > GetLength())
        cch = GetLength();
    return CText(m_str.data(), cch);
}

CText CText::Mid(int iFirst, int cch) const
{
    if (iFirst < 0)
        iFirst = 0;
    if (iFirst > GetLength())
        iFirst = GetLength();
    if (cch < 0 || cch > GetLength() - iFirst)
        cch = GetLength() - iFirst;
    return CText(m_str.data() + iFirst, cch);
}

CText& CText::Trim()
{
    // White space is single-byte and below any trail byte, so a character that
    // starts with it is the whole character.
    int iEnd = 0; // one past the last non-white character
    int iBegin = -1;
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        if (!IsWhiteSpace(m_str[i]))
        {
            if (iBegin < 0)
                iBegin = i;
            iEnd = i + CharLength(i);
        }
    }
    if (iBegin < 0)
        m_str.clear();
    else
        m_str = m_str.substr(static_cast<size_t>(iBegin), static_cast<size_t>(iEnd - iBegin));
    return *this;
}

CText& CText::TrimRight(const char* pszChars)
{
    CheckedArgument(pszChars);
    int iEnd = 0;
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        if (CharLength(i) == 2 || !IsOneOf(m_str[i], pszChars))
            iEnd = i + CharLength(i);
    }
    m_str.resize(static_cast<size_t>(iEnd));
    return *this;
}

CText& CText::MakeLower()
{
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        // Single-byte characters through the code page's own lower-casing;
        // double-byte characters, and a lead byte left alone at the end, stay.
        if (!::IsDBCSLeadByte(static_cast<BYTE>(m_str[i])))
            ::CharLowerBuffA(&m_str[i], 1);
    }
    return *this;
}

int CText::Replace(char chOld, char chNew)
{
    int cReplaced = 0;
    for (int i = 0; i < GetLength(); i += CharLength(i))
    {
        if (CharLength(i) == 1 && m_str[i] == chOld)
        {
            m_str[i] = chNew;
            ++cReplaced;
        }
    }
    return cReplaced;
}

int CText::Replace(const char* pszOld, const char* pszNew)
{
    CheckedArgument(pszOld);
    CheckedArgument(pszNew);
    const int cchOld = static_cast<int>(std::strlen(pszOld));
    if (cchOld == 0)
        AtlThrow(E_INVALIDARG);
    int cReplaced = 0;
    std::string strResult;
    WithAtlMemory(
        [&]
        {
            for (int i = 0; i < GetLength();)
            {
                if (m_str.compare(static_cast<size_t>(i), static_cast<size_t>(cchOld), pszOld) == 0)
                {
                    strResult += pszNew;
                    i += cchOld;
                    ++cReplaced;
                }
                else
                {
                    strResult.append(m_str, static_cast<size_t>(i),
                                     static_cast<size_t>(CharLength(i)));
                    i += CharLength(i);
                }
            }
        });
    m_str.swap(strResult);
    return cReplaced;
}

int CText::Remove(char ch)
{
    int cRemoved = 0;
    std::string strResult;
    WithAtlMemory(
        [&]
        {
            strResult.reserve(m_str.size());
            for (int i = 0; i < GetLength(); i += CharLength(i))
            {
                if (CharLength(i) == 1 && m_str[i] == ch)
                    ++cRemoved;
                else
                    strResult.append(m_str, static_cast<size_t>(i),
                                     static_cast<size_t>(CharLength(i)));
            }
        });
    m_str.swap(strResult);
    return cRemoved;
}

CText& CText::operator+=(const char* psz)
{
    WithAtlMemory([&] { m_str.append(CheckedArgument(psz)); });
    return *this;
}

CText& CText::operator+=(char ch)
{
    WithAtlMemory([&] { m_str.push_back(ch); });
    return *this;
}

char* CText::GetBufferSetLength(int cch)
{
    if (cch < 0)
        AtlThrow(E_INVALIDARG);
    WithAtlMemory(
        [&]
        {
            std::string strNew;
            strNew.resize(static_cast<size_t>(cch));
            m_str.swap(strNew);
        });
    return &m_str[0];
}

CText operator+(const CText& a, const char* b)
{
    CText strResult(a);
    strResult += b;
    return strResult;
}
