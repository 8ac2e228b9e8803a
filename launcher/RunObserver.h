// What the guard and the runner report of their steps, so that they read as
// their algorithms. IRunObserver itself notes nothing (the plain run);
// CExplainedRun (ExplainedRun.h) writes the explained run's records.
#pragma once

#include "CoreText.h"
#include "CoreXML.h"
#include "ITask.h"

class IRunObserver
{
public:
    virtual ~IRunObserver() = default;

    // The guard. pszName could not be created, with the last error then.
    virtual void OnGuardMutexFailed(const char* /*pszName*/, DWORD /*dwError*/) {}
    // dwProbe: the update probe's wait result on the exclusive mutex.
    virtual void OnUpdateProbe(DWORD /*dwProbe*/) {}
    virtual void OnInstanceMutexFailed(const CText& /*strKey*/, DWORD /*dwError*/) {}
    virtual void OnInstanceWait(const CText& /*strKey*/, DWORD /*dwWait*/, DWORD /*nWaitedMs*/) {}

    // The runner. A pass over the configuration, then for each child it
    // reaches: OnChild, then OnSkipped, or OnRunStarts and OnRan.
    virtual void OnPass(int /*nPass*/, const CText& /*strShownPath*/, bool /*fScrambled*/,
                        long /*cChildren*/)
    {
    }
    virtual void OnChild(const CXMLNodeList& /*taskList*/, long /*iChild*/, long /*cChildren*/,
                         const CText& /*strClsid*/)
    {
    }
    // pclsid: the class that was looked for, when the CLSID was one.
    virtual void OnSkipped(const char* /*pszWhy*/, HRESULT /*hr*/, const CLSID* /*pclsid*/) {}
    virtual void OnRunStarts() {}
    virtual void OnRan(HRESULT /*hrRun*/, TaskInstruction /*eInstruction*/) {}

    // The end: an error that ends the run (before it is traced as caught), or
    // the normal end with its exit code.
    virtual void OnErrorEnd() {}
    virtual void OnEnd(int /*nExitCode*/) {}
};
