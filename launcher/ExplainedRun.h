// The explained run's records of the guard and the runner (Explain.h).
#pragma once

#include "RunObserver.h"

class CExplainedRun : public IRunObserver
{
public:
    void OnGuardMutexFailed(const char* pszName, DWORD dwError) override;
    void OnUpdateProbe(DWORD dwProbe) override;
    void OnInstanceMutexFailed(const CText& strKey, DWORD dwError) override;
    void OnInstanceWait(const CText& strKey, DWORD dwWait, DWORD nWaitedMs) override;

    void OnPass(int nPass, const CText& strShownPath, bool fScrambled, long cChildren) override;
    void OnChild(const CXMLNodeList& taskList, long iChild, long cChildren,
                 const CText& strClsid) override;
    void OnSkipped(const char* pszWhy, HRESULT hr, const CLSID* pclsid) override;
    void OnRunStarts() override;
    void OnRan(HRESULT hrRun, TaskInstruction eInstruction) override;

    void OnErrorEnd() override;
    void OnEnd(int nExitCode) override;

private:
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
