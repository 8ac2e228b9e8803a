// The class of ApplyStagedConfig.dll.
#pragma once

#include <windows.h>

// {D3F6EF44-2AD0-48D5-9F66-ECCF3BCAD858}
inline constexpr CLSID CLSID_ApplyStagedConfigTask = {
    0xd3f6ef44, 0x2ad0, 0x48d5, {0x9f, 0x66, 0xec, 0xcf, 0x3b, 0xca, 0xd8, 0x58}};
