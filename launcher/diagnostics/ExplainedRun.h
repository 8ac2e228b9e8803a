// What the guard and the runner tell of their steps, so that they read as their
// algorithms: the explained run's records (Explain.h) and the running child
// for a crash record (CrashContext.h). Without the explained run every call
// returns at once.
#pragma once

#include "CoreText.h"
#include "CoreXML.h"
#include "ITask.h"

class CExplainedRun
{
public:
    // Once, at start-up, before anything can fail: the abnormal ends
    // (AbnormalEnd.h), which end the process with uAbnormalExitCode, and the
    // explained run's variable (Explain.h). In StartProcess.cpp, with the
    // abnormal ends: only the launcher itself has them.
    static void StartProcess(UINT uAbnormalExitCode);

    // The launch context: the configuration's path and the %ResourceRoot%
    // value it was made of (empty: none on the command line).
    void OnLaunchContext(const CWideText& strConfigPath, const CWideText& strRootValue);

    // The guard. pszName could not be created, with the last error then;
    // dwProbe: the update probe's wait result on the exclusive mutex pszName.
    void OnGuardMutexFailed(const char* pszName, DWORD dwError);
    void OnUpdateProbe(const char* pszName, DWORD dwProbe);
    void OnInstanceMutexFailed(const CText& strKey, DWORD dwError);
    void OnInstanceWait(const CText& strKey, DWORD dwWait, DWORD nWaitedMs);

    // The runner. A pass over the configuration, then for each child it
    // reaches: OnChild, then OnSkipped, or OnCreated, OnRunStarts and OnRan.
    // pclsid: the class that could not be created; pszManifest: the
    // installation's task manifest when it lists the class, else nullptr (the
    // registry's); pTask: the task object.
    void OnPass(int nPass, const CText& strShownPath, bool fScrambled, long cChildren);
    // The configuration loaded, but did not parse.
    void OnUnparsed(const CXMLDoc& Doc);
    void OnChild(const CXMLNodeList& taskList, long iChild, long cChildren, const CText& strClsid);
    void OnSkipped(const char* pszWhy, HRESULT hr, const CLSID* pclsid, const wchar_t* pszManifest);
    void OnCreated(const void* pTask, const wchar_t* pszManifest);
    void OnRunStarts();
    void OnRan(HRESULT hrRun, TaskInstruction eInstruction);

    // The end: an error that ends the run (before it is traced as caught);
    // then every end of the start with its exit code, the skipped children
    // summed up on a normal end (0).
    void OnErrorEnd();
    void OnEnd(int nExitCode);

private:
    CWideText m_strConfigPath;
    CText m_strPathSource; // where the configuration's path came from
    bool m_fPassBegun = false;
    // The child under way: "child <i> of <n> <<element>> CLSID="..."".
    CText m_strChild;
    CText m_strElement;
    long m_iChild = 0;
    LONGLONG m_nRunStart = 0; // while its Run runs
    // The pass so far, for the summary of the run's end.
    long m_cChildren = 0;
    long m_cRan = 0;
    long m_cSkipped = 0;
    CText m_strSkipped; // "child 4 <StartClient> not registered, ..."
};
