// This process's handles and committed private memory, as Wine can tell them.
#pragma once

#include <windows.h>

struct CResourceFigures
{
    unsigned long handles = 0;
    unsigned long long privateBytes = 0;
};

// Wine answers 0 from GetProcessHandleCount and from PrivateUsage: then the
// handle values that name a handle are counted, and the commit charge
// (PagefileUsage) stands for the private bytes.
CResourceFigures ReadResourceFigures();
