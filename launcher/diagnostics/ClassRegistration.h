// What the registry says of a class that cannot be created, for its record.
#pragma once

#include <windows.h>

// Writes into szText (cchText characters, cut to fit) "<n>-bit registry view: "
// and the class's in-process server as COM reads it in that view (the value
// unquoted, REG_EXPAND_SZ expanded) and whether that file is there, and if
// it is, why it does not load (DllDiagnosis.h); or that the view has no
// InprocServer32 value for it.
void DescribeClassRegistration(const CLSID& clsid, char* szText, int cchText);
