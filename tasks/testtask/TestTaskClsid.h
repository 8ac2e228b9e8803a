// The class of OstrelinTestTask.dll, for tests that create it or list it in a
// configuration.
#pragma once

#include <windows.h>

// {98E17549-817C-4595-B7A8-7253DF8E12CE}
inline constexpr CLSID CLSID_OstrelinTestTask = {
    0x98e17549, 0x817c, 0x4595, {0xb7, 0xa8, 0x72, 0x53, 0xdf, 0x8e, 0x12, 0xce}};
inline constexpr char szOstrelinTestTaskClsid[] = "{98E17549-817C-4595-B7A8-7253DF8E12CE}";
