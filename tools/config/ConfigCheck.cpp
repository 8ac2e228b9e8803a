#include "ConfigCheck.h"

#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigGuard.h"
#include "ConfigServer.h"
#include "ConfigTaskProbe.h"
#include "ComApartment.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "ConfigPlainText.h"
#include "DllDiagnosis.h"
#include "ITask.h"
#include "TaskManifest.h"
#include "WideText.h"

#include <algorithm>
#include <cstring>
#include <shlwapi.h>

#include <string>

namespace
{
const int nRunGoesThrough = 0;
const int nFileError = 1;
const int nRunFaulty = 2;

struct CTally
{
    CRegistryView view;                                // where the launcher finds the classes
    const CActivatedTaskManifest* pManifest = nullptr; // and before it, the installation's
    bool fScrambled = false;                           // the file's form
    long cCreatable = 0;
    long cSkipped = 0;
};

// The system's words for a status and the status itself, on one line.
CText DescribeStatus(HRESULT hr)
{
    std::string strText = GetSystemMessage(static_cast<DWORD>(hr)).GetString();
    for (size_t i; (i = strText.find("\r\n")) != std::string::npos;)
        strText.replace(i, 2, " ");
    std::replace(strText.begin(), strText.end(), '\n', ' ');
    strText.erase(0, strText.find_first_not_of(" \t\r\v\f"));
    strText.erase(strText.find_last_not_of(" \t\r\v\f") + 1);
    strText.erase(strText.find_last_not_of('.') + 1);
    CText strStatus;
    FormatText(strStatus, "%s (0x%08lX)", Utf8FromAnsi(strText).c_str(),
               static_cast<unsigned long>(hr));
    return strStatus;
}

// How the launcher's run ends, and this tool's exit code for it.
struct CRunEnd
{
    CText strWhy; // empty: the run goes on
    CText strHow = CText("ends its run in an error (exit code 4)");
    int nExitCode = nRunFaulty;
};

int RunEnds(const CRunEnd& end)
{
    Print(stdout, "result: the launcher %s: %s\n", end.strHow.GetString(), end.strWhy.GetString());
    return end.nExitCode;
}

int RunEnds(const char* pszWhy, int nExitCode = nRunFaulty)
{
    CRunEnd end;
    end.strWhy = pszWhy;
    end.nExitCode = nExitCode;
    return RunEnds(end);
}

std::string ElementName(const CXMLElement& element)
{
    return Utf8FromAnsi(element.GetNodeName("?").GetString());
}

CText NodeTypeName(const CXMLNodeList& list, long iChild)
{
    CInterfacePtr<IXMLDOMNode> pifNode;
    CComBSTR strType;
    if (FAILED(list.pif()->get_item(iChild, pifNode.AcceptHere())) || !pifNode ||
        FAILED(pifNode.pif()->get_nodeTypeString(strType.AcceptHere())))
        return CText("?");
    return TextFromWide(strType.Get(), strType.Length(), CP_UTF8);
}

// A creation that crashed, ended or stalled the child process: the verdict,
// and how the launcher's run ends, which meets the same in its own process.
CRunEnd ReportCreationFault(const CProbeResult& probe, long nChild)
{
    CRunEnd end;
    switch (probe.outcome)
    {
    case ProbeOutcome::Crashed:
        Print(stdout, ": creating this task crashes (0x%08lX%s%s)\n",
              static_cast<unsigned long>(probe.dwCode), probe.strWhere.empty() ? "" : " ",
              probe.strWhere.c_str());
        FormatText(end.strWhy, "creating child %ld crashes", nChild);
        break;
    case ProbeOutcome::Exited:
        Print(stdout, ": creating this task ends the process with exit code %lu\n",
              static_cast<unsigned long>(probe.dwCode));
        FormatText(end.strWhy, "creating child %ld ends the process", nChild);
        FormatText(end.strHow, "ends at once with exit code %lu",
                   static_cast<unsigned long>(probe.dwCode));
        break;
    case ProbeOutcome::Hung:
        Print(stdout, ": creating this task does not return within %lu s\n",
              static_cast<unsigned long>(nProbeTimeLimitMs / 1000));
        FormatText(end.strWhy, "creating child %ld does not return", nChild);
        end.strHow = CText("hangs");
        break;
    case ProbeOutcome::Waits:
        // The launcher shows the window too, and goes on when the user closes it.
        Print(stdout, ": creating this task shows the window \"%s\" and waits for the user\n",
              probe.strWhere.c_str());
        FormatText(end.strWhy,
                   "creating child %ld shows the window \"%s\"; what follows is not checked",
                   nChild, probe.strWhere.c_str());
        end.strHow = CText("waits for the user");
        break;
    case ProbeOutcome::NotStarted:
    case ProbeOutcome::Created:
        Print(stdout, ": not created: this tool cannot start its child process: %s\n",
              DescribeStatus(HRESULT_FROM_WIN32(probe.dwCode)).GetString());
        FormatText(end.strWhy, "child %ld was not checked", nChild);
        end.strHow = CText("was not checked to the end");
        end.nExitCode = nFileError;
        break;
    }
    return end;
}

// The launcher's own step for a registered class: create it in process for
// ITask, here in a child process, and skip it with the same reason as its
// explained run when that fails. How the run ends when it does.
CRunEnd ReportCreation(const CLSID& clsid, long nChild, const CServerLookup& server, CTally& tally)
{
    const std::string strServer = TextFrom(server.strPath, CP_UTF8);
    const bool fMissing = server.state == ServerState::Missing;
    CRunEnd end;
    // Why a file that is there does not load, from its headers.
    char szWhy[1200] = "";
    const auto unloadable = [&]
    {
        return !fMissing &&
               DiagnoseDll(server.strPath.c_str(), tally.view.samView == KEY_WOW64_64KEY,
                           "the launcher", CP_UTF8, szWhy, sizeof(szWhy));
    };
    if (!tally.view.fOwn)
    {
        const bool fUnloadable = unloadable();
        // A DLL of the other bitness does not load here.
        Print(stdout, "registered in-process: %s%s%s%s\n", strServer.c_str(),
              fMissing      ? ", which does not exist: skipped"
              : fUnloadable ? ", which cannot be loaded: "
                            : " (the file exists; not created: this tool's bitness is not the "
                              "launcher's)",
              szWhy, fUnloadable ? ": skipped" : "");
        ++(fMissing || fUnloadable ? tally.cSkipped : tally.cCreatable);
        return end;
    }
    const CProbeResult probe = ProbeTaskCreation(clsid, nullptr);
    Print(stdout, "registered in-process: %s", strServer.c_str());
    if (probe.outcome != ProbeOutcome::Created)
        return ReportCreationFault(probe, nChild);
    const HRESULT hr = probe.hr;
    if (hr == S_OK && probe.fInterface)
    {
        Print(stdout, "%s", fMissing ? " (created)\n" : " (the file exists)\n");
        ++tally.cCreatable;
        return end;
    }
    if (hr == S_OK)
    {
        Print(stdout, ": created without an interface\n");
        FormatText(end.strWhy, "child %ld was created without an ITask interface", nChild);
        return end;
    }
    // Only a class that cannot be created may have a file that does not load.
    const bool fLoadFault = hr != REGDB_E_CLASSNOTREG && hr != E_NOINTERFACE;
    if (fMissing)
        Print(stdout, ", which does not exist: skipped\n");
    else
        Print(stdout, ": %s (0x%08X)%s%s: skipped\n",
              hr == REGDB_E_CLASSNOTREG ? "not registered"
              : hr == E_NOINTERFACE     ? "no ITask interface"
                                        : "cannot be created",
              static_cast<unsigned>(hr), fLoadFault && unloadable() ? ": " : "", szWhy);
    ++tally.cSkipped;
    return end;
}

// A class the installation's task manifest lists, created in a child process
// within that manifest as the launcher creates it.
CRunEnd ReportManifestCreation(const CLSID& clsid, long nChild, const wchar_t* pszManifest,
                               CTally& tally)
{
    Print(stdout, "in the installation's task manifest");
    CRunEnd end;
    if (!tally.view.fOwn)
    {
        Print(stdout, " (not created: this tool's bitness is not the launcher's)\n");
        ++tally.cCreatable;
        return end;
    }
    const CProbeResult probe = ProbeTaskCreation(clsid, pszManifest);
    if (probe.outcome != ProbeOutcome::Created)
        return ReportCreationFault(probe, nChild);
    if (probe.hr == S_OK && probe.fInterface)
    {
        Print(stdout, ": created from %s\n", probe.strModule.c_str());
        ++tally.cCreatable;
    }
    else if (probe.hr == S_OK)
    {
        Print(stdout, ": created without an interface\n");
        FormatText(end.strWhy, "child %ld was created without an ITask interface", nChild);
    }
    else
    {
        Print(stdout, ": %s (0x%08X): skipped\n",
              probe.hr == E_NOINTERFACE ? "no ITask interface" : "cannot be created",
              static_cast<unsigned>(probe.hr));
        ++tally.cSkipped;
    }
    return end;
}

// One task as the launcher takes it: parse the CLSID, then create it, which
// needs an in-process server. How the run ends there, when it does.
CRunEnd ReportTask(long nChild, long cChildren, const CXMLElement& task, CTally& tally)
{
    const CText strClsid = task.GetAttribute("CLSID", "");
    Print(stdout, "  child %ld of %ld <%s> CLSID \"%s\": ", nChild, cChildren,
          ElementName(task).c_str(), Utf8FromAnsi(strClsid.GetString()).c_str());
    CLSID clsid = {};
    if (::CLSIDFromString(CComBSTR(strClsid), &clsid) != S_OK)
    {
        Print(stdout, "not a CLSID: skipped\n");
        // Flipped bytes of a scrambled file, or another tool's scrambling,
        // come out as characters that no CLSID has.
        if (tally.fScrambled &&
            strClsid.GetString()[std::strspn(strClsid.GetString(), "0123456789ABCDEFabcdef{}-")])
            Print(stdout, "    its text has characters no CLSID has: the scrambled file may be "
                          "damaged, or scrambled by another tool\n");
        ++tally.cSkipped;
        return CRunEnd();
    }
    if (const wchar_t* const pszManifest = tally.pManifest->FindClass(clsid))
        return ReportManifestCreation(clsid, nChild, pszManifest, tally);
    const CServerLookup server = FindInprocServer(clsid, tally.view.samView);
    if (server.state != ServerState::NotRegistered)
        return ReportCreation(clsid, nChild, server, tally);
    Print(stdout, "not registered as an in-process server: skipped\n");
    ++tally.cSkipped;
    return CRunEnd();
}

// Child i as the launcher takes it, counted from 1 as its explained run
// counts: how it ends the run, as any node that is not an element does.
CRunEnd ReportChild(const CXMLNodeList& list, long iChild, long cChildren, CTally& tally)
{
    try
    {
        return ReportTask(iChild + 1, cChildren, list.GetItem(iChild), tally);
    }
    catch (const CCoreError&)
    {
        Print(stdout, "  child %ld of %ld: %s node, not an element\n", iChild + 1, cChildren,
              NodeTypeName(list, iChild).GetString());
        CRunEnd end;
        FormatText(end.strWhy, "child %ld is not an element", iChild + 1);
        return end;
    }
}

int CheckLoaded(const CXMLDoc& Doc, const CRegistryView& view, const std::wstring& strPath,
                bool fStrict, bool fScrambled)
{
    const CXMLElement Node = Doc.GetDocumentElement();
    if (!Node)
    {
        Print(stdout, "document element: none\n");
        return RunEnds(CText(("the file does not parse: " + DescribeParseError(Doc)).c_str()));
    }
    Print(stdout, "document element: <%s>\n", ElementName(Node).c_str());

    const CXMLElement Run = Node.SelectSingleElement("Run");
    if (!Run)
    {
        Print(stdout, "\"Run\": missing\n");
        return RunEnds("no \"Run\" element");
    }
    const CXMLNodeList list = Run.GetChildNodes();
    const long cChildren = list.GetLength();
    Print(stdout, "\"Run\": %ld child node(s)\n", cChildren);

    // The launcher activates the installation's task manifest here, and ends
    // its run when the system refuses it.
    const CWideText strManifest = TaskManifestPathFor(CWideText(strPath.c_str(), strPath.size()));
    CActivatedTaskManifest manifest;
    if (!manifest.Activate(strManifest))
    {
        const DWORD dwError = ::GetLastError();
        Print(stdout, "task manifest: %s\n", TextFrom(strManifest.c_str(), CP_UTF8).c_str());
        return RunEnds(CText("the system refuses the task manifest: ") +
                       DescribeStatus(HRESULT_FROM_WIN32(dwError)));
    }
    if (manifest.IsActive())
        Print(stdout, "task manifest: %s\n", TextFrom(strManifest.c_str(), CP_UTF8).c_str());

    CTally tally;
    tally.view = view;
    tally.pManifest = &manifest;
    tally.fScrambled = fScrambled;
    for (long iChild = 0; iChild < cChildren; ++iChild)
    {
        const CRunEnd end = ReportChild(list, iChild, cChildren, tally);
        if (!end.strWhy.IsEmpty())
            return RunEnds(end);
    }
    if (cChildren == 0)
        Print(stdout, "result: no task to run; the run ends normally\n");
    else
        Print(stdout,
              "result: the run goes through the list: %ld of %ld task(s) can be created, "
              "%ld skipped\n",
              tally.cCreatable, cChildren, tally.cSkipped);
    return fStrict && tally.cSkipped > 0 ? nRunFaulty : nRunGoesThrough;
}

// The form of the file as the launcher's loader will see it; false when the
// file cannot be read, which the launcher would not survive either.
bool ReportForm(const std::wstring& strPath, int& nExitCode, bool& fScrambled)
{
    CSharedReadFile file;
    HRESULT hr = file.Open(strPath.c_str());
    const ULONGLONG cbFile = hr == S_OK ? file.GetSize() : 0;
    // Within what one read takes and a string holds (about 1 GB in a 32-bit
    // process), as the other commands.
    if (cbFile > MAXDWORD / 2 || cbFile > std::string().max_size())
        hr = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    std::string strData(hr == S_OK ? static_cast<size_t>(cbFile) : 0, '\0');
    if (hr == S_OK && cbFile > 0)
        hr = file.Read(&strData[0], static_cast<DWORD>(cbFile));
    if (hr != S_OK)
    {
        nExitCode = RunEnds(CText("the file cannot be read: ") + DescribeStatus(hr), nFileError);
        return false;
    }
    if (cbFile == 0)
    {
        nExitCode = RunEnds("the file is empty");
        return false;
    }
    const std::string strReadAs = FileNameOf(TextFrom(strPath, CP_UTF8));
    const std::string strScrambledFor = FindScrambledName(strData, strReadAs);
    fScrambled = !strScrambledFor.empty();
    Print(stdout, "form: %s\n", Utf8FromAnsi(DescribeForm(strScrambledFor, strReadAs)).c_str());
    return true;
}

// The launcher that reads a configuration is the one in its folder.
std::wstring LauncherBeside(const std::wstring& strPath)
{
    const size_t cchFolder =
        static_cast<size_t>(::PathFindFileNameW(strPath.c_str()) - strPath.c_str());
    return strPath.substr(0, cchFolder) + L"Ostrelin.exe";
}

int CheckConfiguration(const std::wstring& strPath, bool fStrict, const std::wstring& strLauncher,
                       const char* pszInstanceKey, bool& fGuardHeld)
{
    const CComApartment apartment;
    if (FAILED(apartment.Status()))
    {
        Print(stderr, "ostrelin-config: COM cannot start: %s\n",
              DescribeStatus(apartment.Status()).GetString());
        return nFileError;
    }
    Print(stdout, "configuration: %s\n", TextFrom(strPath, CP_UTF8).c_str());
    const CRegistryView view =
        FindRegistryView(strLauncher.empty() ? LauncherBeside(strPath) : strLauncher);
    Print(stdout, "registry view: %s\n", view.strDescription.c_str());
    fGuardHeld = ReportGuard(pszInstanceKey);
    int nExitCode = nRunGoesThrough;
    bool fScrambled = false;
    if (!ReportForm(strPath, nExitCode, fScrambled))
        return nExitCode;
    try
    {
        return CheckLoaded(CXMLDoc::FromURL(CWideText(strPath.c_str(), strPath.size())), view,
                           strPath, fStrict, fScrambled);
    }
    catch (const CCoreError& error)
    {
        return RunEnds(DescribeStatus(error.GetHResult()));
    }
}
} // namespace

int RunCheck(const std::wstring& strPath, bool fStrict, const std::wstring& strLauncher,
             const char* pszInstanceKey)
{
    bool fGuardHeld = false;
    const int nExitCode =
        CheckConfiguration(strPath, fStrict, strLauncher, pszInstanceKey, fGuardHeld);
    // A start ends at the guard before it reads the configuration.
    return fGuardHeld && nExitCode == nRunGoesThrough ? nRunFaulty : nExitCode;
}
