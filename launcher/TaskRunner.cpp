#include "TaskRunner.h"

void RunTasks(const CText& /*strConfigPath*/, CGuardHandles& /*handles*/) {}
