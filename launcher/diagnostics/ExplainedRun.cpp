#include "ExplainedRun.h"

#include "ClassRegistration.h"
#include "CrashContext.h"
#include "CoreTrace.h"
#include "Explain.h"
#include "ExplainFolder.h"

namespace
{
// A start that passes this often is most likely a task asking for reload
// every time.
const int cPassesNoted = 1000;

const char* DescribeInstruction(TaskInstruction eInstruction)
{
    const char* const names[] = {"continue", "reload", "stop"};
    return eInstruction >= InstructionContinue && eInstruction <= InstructionStop
               ? names[eInstruction]
               : "taken as continue";
}

const char* Children(long c)
{
    return c == 1 ? "child" : "children";
}
} // namespace

void CExplainedRun::OnLaunchContext(const CWideText& strConfigPath, const CWideText& strRootValue)
{
    if (!IsExplaining())
        return;
    m_strConfigPath = strConfigPath;
    if (strRootValue.empty())
        m_strPathSource = "the one beside the launcher (no %ResourceRoot% on the command line)";
    else
        FormatText(m_strPathSource, "made of %%ResourceRoot%%=\"%s\" on the command line",
                   AnsiFromWide(strRootValue).GetString());
}

void CExplainedRun::OnUnparsed(const CXMLDoc& Doc)
{
    if (!IsExplaining())
        return;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExW(m_strConfigPath.c_str(), GetFileExInfoStandard, &data);
    CText strReason, strWhere;
    long nLine = 0, nColumn = 0;
    Doc.GetParseError(strReason, nLine, nColumn);
    if (nLine > 0)
        FormatText(strWhere, " at line %ld, column %ld", nLine, nColumn);
    Explain("configuration %s (%llu bytes) does not parse: %s%s%s%s",
            AnsiFromWide(m_strConfigPath).GetString(),
            (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            strReason.IsEmpty() ? "the parser gives no reason" : "\"", strReason.GetString(),
            strReason.IsEmpty() ? "" : "\"",
            nLine > 0 ? strWhere.GetString() : ", and no line or column");
}

void CExplainedRun::OnGuardMutexFailed(const char* pszName, DWORD dwError)
{
    Explain("guard: \"%s\" could not be created (LastError %lu)", pszName, dwError);
}

void CExplainedRun::OnUpdateProbe(const char* pszName, DWORD dwProbe)
{
    if (dwProbe == WAIT_TIMEOUT)
        Explain("guard: update probe: \"%s\" is owned by the updater", pszName);
    else if (dwProbe == WAIT_ABANDONED)
        Explain("guard: update probe: \"%s\" was abandoned: no update running", pszName);
    else
        Explain("guard: update probe: no update running");
}

void CExplainedRun::OnInstanceMutexFailed(const CText& strKey, DWORD dwError)
{
    Explain("guard: instance mutex \"%s\" could not be created (LastError %lu): runs unguarded",
            strKey.GetString(), dwError);
}

void CExplainedRun::OnInstanceWait(const CText& strKey, DWORD dwWait, DWORD nWaitedMs)
{
    if (dwWait == WAIT_TIMEOUT)
        Explain("guard: instance key \"%s\" is held by another copy (waited %lu ms)",
                strKey.GetString(), nWaitedMs);
    else if (dwWait == WAIT_ABANDONED)
        // Every copy ends holding its key: this is the normal hand-over.
        Explain("guard: instance key \"%s\" taken over from a copy that has ended",
                strKey.GetString());
    else
        Explain("guard: instance key \"%s\" taken (waited %lu ms)", strKey.GetString(), nWaitedMs);
}

void CExplainedRun::OnPass(int nPass, const CText& strShownPath, bool fScrambled, long cChildren)
{
    if (!IsExplaining())
        return;
    m_fPassBegun = true;
    Explain("pass %d: %s, %s, %ld %s", nPass, strShownPath.GetString(),
            fScrambled ? "scrambled" : "plain", cChildren, Children(cChildren));
    if (nPass == cPassesNoted + 1)
        Explain("pass %d: this start has made more than %d passes: a task asks for reload "
                "every time",
                nPass, cPassesNoted);
    m_cChildren = cChildren;
    m_cRan = m_cSkipped = 0;
    m_strSkipped = CText();
}

void CExplainedRun::OnChild(const CXMLNodeList& taskList, long iChild, long cChildren,
                            const CText& strClsid)
{
    if (!IsExplaining())
        return;
    m_iChild = iChild;
    m_strElement = taskList.GetItem(iChild).GetNodeName("");
    FormatText(m_strChild, "child %ld of %ld <%s> CLSID=\"%s\"", iChild + 1, cChildren,
               m_strElement.GetString(), strClsid.GetString());
    SetCrashContext(m_strChild);
}

void CExplainedRun::OnSkipped(const char* pszWhy, HRESULT hr, const CLSID* pclsid,
                              const wchar_t* pszManifest)
{
    if (!IsExplaining())
        return;
    SetCrashContext(nullptr);
    char szRegistration[2200] = "";
    if (pszManifest != nullptr)
        FormatFixedText(szRegistration, sizeof(szRegistration),
                        "listed in the installation's task manifest %s",
                        AnsiFromWide(pszManifest).GetString());
    else if (pclsid != nullptr)
        DescribeClassRegistration(*pclsid, szRegistration, sizeof(szRegistration));
    Explain("%s: %s (0x%08X), skipped%s%s", m_strChild.GetString(), pszWhy,
            static_cast<unsigned>(hr), pclsid != nullptr ? "; " : "", szRegistration);

    CText strSkipped;
    FormatText(strSkipped, "%s%schild %ld <%s> %s", m_strSkipped.GetString(),
               m_cSkipped > 0 ? ", " : "", m_iChild + 1, m_strElement.GetString(), pszWhy);
    m_strSkipped = strSkipped;
    ++m_cSkipped;
}

void CExplainedRun::OnCreated(const void* pTask, const wchar_t* pszManifest)
{
    if (!IsExplaining())
        return;
    // The DLL that serves the object: the module its interface table lies in.
    HMODULE hModule = nullptr;
    char szModule[MAX_PATH * 2] = "?";
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             *static_cast<const char* const*>(pTask), &hModule))
        ::GetModuleFileNameA(hModule, szModule, sizeof(szModule));
    Explain("%s: created from %s, as %s%s%s", m_strChild.GetString(), szModule,
            pszManifest != nullptr ? "the installation's task manifest " : "the registry names it",
            pszManifest != nullptr ? AnsiFromWide(pszManifest).GetString() : "",
            pszManifest != nullptr ? " lists it" : "");
}

void CExplainedRun::OnRunStarts()
{
    m_nRunStart = ExplainClock();
}

void CExplainedRun::OnRan(HRESULT hrRun, TaskInstruction eInstruction)
{
    if (!IsExplaining())
        return;
    SetCrashContext(nullptr);
    Explain("%s: ran, Run 0x%08X, instruction %d (%s), %s ms", m_strChild.GetString(),
            static_cast<unsigned>(hrRun), static_cast<int>(eInstruction),
            DescribeInstruction(eInstruction), ExplainMilliseconds(m_nRunStart).GetString());
    m_nRunStart = 0;
    ++m_cRan;
}

void CExplainedRun::OnErrorEnd()
{
    UseExplainReserve(); // the error's Caught record, then the end
    SetCrashContext(nullptr);
    // A run that ended before its first pass: the configuration could not be
    // read or used. Where its path came from is what support checks first.
    if (IsExplaining() && !m_fPassBegun)
        Explain("the configuration %s was not run; its path is %s",
                AnsiFromWide(m_strConfigPath).GetString(), m_strPathSource.GetString());
    if (m_nRunStart == 0)
        return;
    Explain("%s: Run failed after %s ms: the run ends", m_strChild.GetString(),
            ExplainMilliseconds(m_nRunStart).GetString());
    m_nRunStart = 0;
}

void CExplainedRun::OnEnd(int nExitCode)
{
    UseExplainReserve();
    // Skipped children end with a normal end too: this says they never ran.
    if (nExitCode == 0 && m_cSkipped > 0)
        Explain("run ends: %ld of %ld %s ran, %ld skipped: %s", m_cRan, m_cChildren,
                Children(m_cChildren), m_cSkipped, m_strSkipped.GetString());
    Explain("ends with exit code %d", nExitCode);
}
