#include "AbnormalEnd.h"
#include "Explain.h"
#include "ExplainedRun.h"

void CExplainedRun::StartProcess(UINT uAbnormalExitCode)
{
    InstallAbnormalEndHandlers(uAbnormalExitCode);
    StartExplainedRun();
}
