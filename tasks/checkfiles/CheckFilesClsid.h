// The class of CheckFiles.dll.
#pragma once

#include <windows.h>

// {791C17A1-53EF-4991-9737-093AEC4A9792}
inline constexpr CLSID CLSID_CheckFilesTask = {
    0x791c17a1, 0x53ef, 0x4991, {0x97, 0x37, 0x09, 0x3a, 0xec, 0x4a, 0x97, 0x92}};
