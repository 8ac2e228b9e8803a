// Owners of the system's handles: one template, and one policy per kind of
// handle that says which value stands for none and how to close.
//
//     CUniqueFileHandle hFile(::CreateFileA(...)); // INVALID_HANDLE_VALUE: none
//     CHECK_WIN32(hFile);
//     CUniqueRegKey key;
//     ::RegOpenKeyExA(HKEY_CLASSES_ROOT, pszKey, 0, KEY_READ, key.AcceptHere());
//
// Each owner is move-only and closes what it holds when it goes. A close keeps
// the thread's last error, so that the code of a failure survives the clean-up
// that runs before a check point reads it.
#pragma once

#include <windows.h>

#include "CoreError.h"

template <class TTraits> class CUniqueHandleT
{
public:
    using Type = typename TTraits::Type;

    CUniqueHandleT() = default;
    explicit CUniqueHandleT(Type h) : m_h(h) {}
    CUniqueHandleT(CUniqueHandleT&& src) noexcept : m_h(src.Detach()) {}
    CUniqueHandleT& operator=(CUniqueHandleT&& src) noexcept
    {
        Attach(src.Detach());
        return *this;
    }
    ~CUniqueHandleT() { Close(); }
    CUniqueHandleT(const CUniqueHandleT&) = delete;
    CUniqueHandleT& operator=(const CUniqueHandleT&) = delete;

    Type Get() const { return m_h; }
    bool IsValid() const { return m_h != TTraits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    // Closes what is held and owns h from now on.
    void Attach(Type h)
    {
        if (h == m_h)
            return;
        Close();
        m_h = h;
    }
    // Gives the handle up: the caller closes it.
    Type Detach()
    {
        const Type h = m_h;
        m_h = TTraits::Invalid();
        return h;
    }
    // Closes what is held and lends the slot to a call that delivers a new
    // handle, which this owner then closes.
    Type* AcceptHere()
    {
        Close();
        return &m_h;
    }
    // The slot itself, for a callee that may close the handle and write the
    // invalid value there (the launcher lends its register mutex so).
    Type* AddressOf() { return &m_h; }
    void Close()
    {
        if (!IsValid())
            return;
        const CLastErrorKeeper keeper;
        TTraits::Close(Detach());
    }

private:
    Type m_h = TTraits::Invalid();
};

// Kernel objects: processes, threads, mutexes, events, pipes. NULL is none.
struct CKernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};

// What CreateFile opens: INVALID_HANDLE_VALUE is none.
struct CFileHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

// What FindFirstFileEx opens.
struct CFindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};

struct CRegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};

// A block the system allocated for the caller (FormatMessage's
// FORMAT_MESSAGE_ALLOCATE_BUFFER and the like), freed with LocalFree.
template <class T> struct CLocalMemoryTraits
{
    using Type = T*;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::LocalFree(p); }
};

using CUniqueHandle = CUniqueHandleT<CKernelHandleTraits>;
using CUniqueFileHandle = CUniqueHandleT<CFileHandleTraits>;
using CUniqueFindHandle = CUniqueHandleT<CFindHandleTraits>;
using CUniqueRegKey = CUniqueHandleT<CRegKeyTraits>;
template <class T> using CLocalMemory = CUniqueHandleT<CLocalMemoryTraits<T>>;
