// x64 GCC only: C++ exceptions under a debugger. The unwind to a catch or a
// cleanup starts from the context of the raise, and under Wine 8 that context
// comes back from the debugger's first look at the exception with registers
// that no frame in between saved cleared, so a landing pad that keeps a pointer
// in one of them runs with null (0xC0000005). Each raise is routed through a
// frame here that saves every register the callers keep, so that the unwind
// takes their values from this frame instead. The link options of
// core/CMakeLists.txt route them.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__SEH__)
#include <unwind.h>

#define CORE_KEEP_REGISTERS()                                                                      \
    asm volatile("" ::                                                                             \
                     : "rbx", "rbp", "rsi", "rdi", "r12", "r13", "r14", "r15", "xmm6", "xmm7",     \
                       "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15",       \
                       "memory")

extern "C" _Unwind_Reason_Code __real__Unwind_RaiseException(_Unwind_Exception* pException);
extern "C" _Unwind_Reason_Code __real__Unwind_Resume_or_Rethrow(_Unwind_Exception* pException);

extern "C" _Unwind_Reason_Code __wrap__Unwind_RaiseException(_Unwind_Exception* pException)
{
    CORE_KEEP_REGISTERS();
    const _Unwind_Reason_Code eReason = __real__Unwind_RaiseException(pException);
    CORE_KEEP_REGISTERS(); // and no tail call: this frame stays on the stack
    return eReason;
}

extern "C" _Unwind_Reason_Code __wrap__Unwind_Resume_or_Rethrow(_Unwind_Exception* pException)
{
    CORE_KEEP_REGISTERS();
    const _Unwind_Reason_Code eReason = __real__Unwind_Resume_or_Rethrow(pException);
    CORE_KEEP_REGISTERS();
    return eReason;
}
#endif
