// What a start of the launcher would meet first: the updater's mutex and, when
// the instance key is known, the copy that holds it.
#pragma once

// Reports the guard on standard output; true when a start would end there.
// pszInstanceKey may be null: check alone does not know the command line.
bool ReportGuard(const char* pszInstanceKey);
