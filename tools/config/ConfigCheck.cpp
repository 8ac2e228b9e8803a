#include "ConfigCheck.h"

#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigServer.h"
#include "ComApartment.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "ITask.h"
#include "WideText.h"

#include <algorithm>
#include <shlwapi.h>

#include <string>

namespace
{
const int nRunGoesThrough = 0;
const int nFileError = 1;
const int nRunFaulty = 2;

struct CTally
{
    CRegistryView view; // where the launcher finds the classes
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

int RunEnds(const char* pszWhy, int nExitCode = nRunFaulty)
{
    Print(stdout, "result: the launcher ends its run in an error (exit code 4): %s\n", pszWhy);
    return nExitCode;
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

// The launcher's own step for a registered class whose file is there: create
// it in process for ITask, and skip it with the same reason as its explained
// run when that fails. False when the answer ends the run.
bool ReportCreation(const CLSID& clsid, const std::string& strServer, CTally& tally)
{
    if (!tally.view.fOwn)
    {
        // A DLL of the other bitness does not load here.
        Print(stdout,
              "registered in-process: %s (the file exists; not created: this tool's bitness is "
              "not the launcher's)\n",
              strServer.c_str());
        ++tally.cCreatable;
        return true;
    }
    CInterfacePtr<ITask> pifTask;
    const HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                          reinterpret_cast<void**>(pifTask.AcceptHere()));
    if (hr == S_OK && pifTask)
    {
        Print(stdout, "registered in-process: %s (the file exists)\n", strServer.c_str());
        ++tally.cCreatable;
        return true;
    }
    if (hr == S_OK)
    {
        Print(stdout, "registered in-process: %s: created without an interface\n",
              strServer.c_str());
        return false;
    }
    Print(stdout, "registered in-process: %s: %s (0x%08X): skipped\n", strServer.c_str(),
          hr == REGDB_E_CLASSNOTREG ? "not registered"
          : hr == E_NOINTERFACE     ? "no ITask interface"
                                    : "cannot be created",
          static_cast<unsigned>(hr));
    ++tally.cSkipped;
    return true;
}

// One task as the launcher takes it: parse the CLSID, then create it, which
// needs an in-process server whose file is there. Why the run ends there, or
// empty.
CText ReportTask(long iChild, const CXMLElement& task, CTally& tally)
{
    const CText strClsid = task.GetAttribute("CLSID", "");
    Print(stdout, "  %ld: <%s> CLSID \"%s\": ", iChild, ElementName(task).c_str(),
          Utf8FromAnsi(strClsid.GetString()).c_str());
    CLSID clsid = {};
    if (::CLSIDFromString(CComBSTR(strClsid), &clsid) != S_OK)
    {
        Print(stdout, "not a CLSID: skipped\n");
        ++tally.cSkipped;
        return CText();
    }
    const CServerLookup server = FindInprocServer(clsid, tally.view.samView);
    const std::string strServer = TextFrom(server.strPath, CP_UTF8);
    switch (server.state)
    {
    case ServerState::NotRegistered:
        Print(stdout, "not registered as an in-process server: skipped\n");
        break;
    case ServerState::Missing:
        Print(stdout, "registered in-process: %s, which does not exist: skipped\n",
              strServer.c_str());
        break;
    case ServerState::Present:
    {
        if (ReportCreation(clsid, strServer, tally))
            return CText();
        CText strWhy;
        FormatText(strWhy, "child %ld was created without an ITask interface", iChild);
        return strWhy;
    }
    }
    ++tally.cSkipped;
    return CText();
}

// Child i as the launcher takes it: why it ends the run, as any node that is
// not an element does, or empty.
CText ReportChild(const CXMLNodeList& list, long iChild, CTally& tally)
{
    try
    {
        return ReportTask(iChild, list.GetItem(iChild), tally);
    }
    catch (const CCoreError&)
    {
        Print(stdout, "  %ld: %s node, not an element\n", iChild,
              NodeTypeName(list, iChild).GetString());
        CText strWhy;
        FormatText(strWhy, "child %ld is not an element", iChild);
        return strWhy;
    }
}

int CheckLoaded(const CXMLDoc& Doc, const CRegistryView& view, bool fStrict)
{
    const CXMLElement Node = Doc.GetDocumentElement();
    if (!Node)
    {
        Print(stdout, "document element: none\n");
        return RunEnds("the file does not parse");
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

    CTally tally;
    tally.view = view;
    for (long iChild = 0; iChild < cChildren; ++iChild)
    {
        const CText strWhy = ReportChild(list, iChild, tally);
        if (!strWhy.IsEmpty())
            return RunEnds(strWhy);
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
bool ReportForm(const std::wstring& strPath, int& nExitCode)
{
    CSharedReadFile file;
    HRESULT hr = file.Open(strPath.c_str());
    const ULONGLONG cbFile = hr == S_OK ? file.GetSize() : 0;
    std::string strData(static_cast<size_t>(cbFile), '\0');
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
    Print(stdout, "form: %s\n",
          Utf8FromAnsi(DescribeForm(FindScrambledName(strData, strReadAs), strReadAs)).c_str());
    return true;
}

// The launcher that reads a configuration is the one in its folder.
std::wstring LauncherBeside(const std::wstring& strPath)
{
    const size_t cchFolder =
        static_cast<size_t>(::PathFindFileNameW(strPath.c_str()) - strPath.c_str());
    return strPath.substr(0, cchFolder) + L"Ostrelin.exe";
}
} // namespace

int RunCheck(const std::wstring& strPath, bool fStrict, const std::wstring& strLauncher)
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
    int nExitCode = nRunGoesThrough;
    if (!ReportForm(strPath, nExitCode))
        return nExitCode;
    try
    {
        return CheckLoaded(CXMLDoc::FromURL(CWideText(strPath.c_str(), strPath.size())), view,
                           fStrict);
    }
    catch (const CCoreError& error)
    {
        return RunEnds(DescribeStatus(error.GetHResult()));
    }
}
