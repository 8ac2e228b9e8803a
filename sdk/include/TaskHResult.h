// The one way out of a COM boundary: no exception may cross into the caller,
// so each leaves as the failure HRESULT it stands for.
//
//     HRESULT STDMETHODCALLTYPE CMyObject::Run(TaskInstruction* peInstruction)
//     {
//         return HResultFromTaskCall([&] { return OnRun(*peInstruction); });
//     }
#pragma once

#include <windows.h>

#include <type_traits>

namespace OstrelinSdk
{
// The failure HRESULT of the exception being handled: E_OUTOFMEMORY for
// std::bad_alloc, the error's own code for CCoreError (the check points) and
// for the SDK's own text layer, E_UNEXPECTED for anything else (an ATL
// exception included: catch it in the task); E_FAIL where that code would read
// as success (a Win32 error with last-error code 0). Call only inside a catch
// block.
HRESULT HResultFromTaskException();

// Runs f: its HRESULT (S_OK when it returns nothing), or that of the
// exception it throws.
template <class F> HRESULT HResultFromTaskCall(F&& f) noexcept
{
    try
    {
        using TResult = decltype(f());
        static_assert(std::is_void<TResult>::value || std::is_same<TResult, HRESULT>::value,
                      "HResultFromTaskCall runs what returns an HRESULT or nothing");
        if constexpr (std::is_void<TResult>::value)
        {
            f();
            return S_OK;
        }
        else
        {
            return f();
        }
    }
    catch (...)
    {
        return HResultFromTaskException();
    }
}
} // namespace OstrelinSdk
