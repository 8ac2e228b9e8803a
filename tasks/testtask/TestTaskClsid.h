// The class of OstrelinTestTask.dll, for tests that create it or list it in a
// configuration.
#pragma once

#include <windows.h>

// {98E17549-817C-4595-B7A8-7253DF8E12CE}
inline constexpr CLSID CLSID_OstrelinTestTask = {
    0x98e17549, 0x817c, 0x4595, {0xb7, 0xa8, 0x72, 0x53, 0xdf, 0x8e, 0x12, 0xce}};
inline constexpr char szOstrelinTestTaskClsid[] = "{98E17549-817C-4595-B7A8-7253DF8E12CE}";

// The same task under a class no registry knows, in OstrelinManifestTestTask.dll:
// an installation's task manifest alone names it.
// {653D8A99-8C3C-4C28-8AE2-C0655503565D}
inline constexpr CLSID CLSID_OstrelinManifestTestTask = {
    0x653d8a99, 0x8c3c, 0x4c28, {0x8a, 0xe2, 0xc0, 0x65, 0x55, 0x03, 0x56, 0x5d}};
inline constexpr char szOstrelinManifestTestTaskClsid[] = "{653D8A99-8C3C-4C28-8AE2-C0655503565D}";
