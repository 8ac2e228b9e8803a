// The class of StartProgram.dll.
#pragma once

#include <windows.h>

// {80E8DBC2-87FA-4389-80BF-632FE5E394A2}
inline constexpr CLSID CLSID_StartProgramTask = {
    0x80e8dbc2, 0x87fa, 0x4389, {0x80, 0xbf, 0x63, 0x2f, 0xe5, 0xe3, 0x94, 0xa2}};
