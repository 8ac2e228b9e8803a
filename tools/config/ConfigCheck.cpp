#include "ConfigCheck.h"

#include "ConfigFiles.h"
#include "ConfigForm.h"
#include "ConfigServer.h"
#include "CoreApartment.h"
#include "CoreFile.h"
#include "CoreTrace.h"
#include "CoreXML.h"

#include <cstdio>
#include <string>

namespace
{
const int nRunGoesThrough = 0;
const int nFileError = 1;
const int nRunFaulty = 2;

struct CTally
{
    REGSAM samView = 0; // where the launcher finds the classes
    long cCreatable = 0;
    long cSkipped = 0;
};

// The system's words for a status and the status itself, on one line.
CText DescribeStatus(HRESULT hr)
{
    CText strText = GetSystemMessage(static_cast<DWORD>(hr));
    strText.Replace("\r\n", " ");
    strText.Replace('\n', ' ');
    strText.Trim();
    strText.TrimRight(".");
    CText strStatus;
    FormatText(strStatus, "%s (0x%08lX)", strText.GetString(), static_cast<unsigned long>(hr));
    return strStatus;
}

int RunEnds(const char* pszWhy, int nExitCode = nRunFaulty)
{
    std::printf("result: the launcher ends its run in an error (exit code 4): %s\n", pszWhy);
    return nExitCode;
}

CText NodeTypeName(const CXMLNodeList& list, long iChild)
{
    CInterfacePtr<IXMLDOMNode> pifNode;
    CComBSTR strType;
    if (FAILED(list.pif()->get_item(iChild, pifNode.AcceptHere())) || !pifNode ||
        FAILED(pifNode.pif()->get_nodeTypeString(strType.AcceptHere())))
        return CText("?");
    return TextFromWide(strType, strType.Length());
}

// One task as the launcher takes it: parse the CLSID, then create it, which
// needs an in-process server whose file is there.
void ReportTask(long iChild, const CXMLElement& task, CTally& tally)
{
    const CText strClsid = task.GetAttribute("CLSID", "");
    std::printf("  %ld: <%s> CLSID \"%s\": ", iChild, task.GetNodeName("?").GetString(),
                strClsid.GetString());
    CLSID clsid = {};
    if (::CLSIDFromString(CComBSTR(strClsid), &clsid) != S_OK)
    {
        std::printf("not a CLSID: skipped\n");
        ++tally.cSkipped;
        return;
    }
    const CServerLookup server = FindInprocServer(clsid, tally.samView);
    switch (server.state)
    {
    case ServerState::NotRegistered:
        std::printf("not registered as an in-process server: skipped\n");
        ++tally.cSkipped;
        return;
    case ServerState::Missing:
        std::printf("registered in-process: %s, which does not exist: skipped\n",
                    server.strPath.GetString());
        ++tally.cSkipped;
        return;
    case ServerState::Present:
        std::printf("registered in-process: %s (the file exists)\n", server.strPath.GetString());
        ++tally.cCreatable;
        return;
    }
}

// Child i as the launcher takes it; false when it ends the run, as any node
// that is not an element does.
bool ReportChild(const CXMLNodeList& list, long iChild, CTally& tally)
{
    try
    {
        ReportTask(iChild, list.GetItem(iChild), tally);
        return true;
    }
    catch (const CCoreError&)
    {
        std::printf("  %ld: %s node, not an element\n", iChild,
                    NodeTypeName(list, iChild).GetString());
        return false;
    }
}

int CheckLoaded(const CXMLDoc& Doc, REGSAM samView, bool fStrict)
{
    const CXMLElement Node = Doc.GetDocumentElement();
    if (!Node)
    {
        std::printf("document element: none\n");
        return RunEnds("the file does not parse");
    }
    std::printf("document element: <%s>\n", Node.GetNodeName("?").GetString());

    const CXMLElement Run = Node.SelectSingleElement("Run");
    if (!Run)
    {
        std::printf("\"Run\": missing\n");
        return RunEnds("no \"Run\" element");
    }
    const CXMLNodeList list = Run.GetChildNodes();
    const long cChildren = list.GetLength();
    std::printf("\"Run\": %ld child node(s)\n", cChildren);

    CTally tally;
    tally.samView = samView;
    for (long iChild = 0; iChild < cChildren; ++iChild)
    {
        if (!ReportChild(list, iChild, tally))
        {
            CText strWhy;
            FormatText(strWhy, "child %ld is not an element", iChild);
            return RunEnds(strWhy);
        }
    }
    if (cChildren == 0)
        std::printf("result: no task to run; the run ends normally\n");
    else
        std::printf("result: the run goes through the list: %ld of %ld task(s) can be created, "
                    "%ld skipped\n",
                    tally.cCreatable, cChildren, tally.cSkipped);
    return fStrict && tally.cSkipped > 0 ? nRunFaulty : nRunGoesThrough;
}

// The form of the file as the launcher's loader will see it; false when the
// file cannot be read, which the launcher would not survive either.
bool ReportForm(const char* pszPath, int& nExitCode)
{
    CSharedReadFile file;
    HRESULT hr = file.Open(pszPath);
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
    const std::string strReadAs = FileNameOf(pszPath);
    std::printf("form: %s\n",
                DescribeForm(FindScrambledName(strData, strReadAs), strReadAs).c_str());
    return true;
}
// The launcher that reads a configuration is the one in its folder.
CText LauncherBeside(const char* pszPath)
{
    const std::string strPath = pszPath;
    const std::string strFolder = strPath.substr(0, strPath.size() - FileNameOf(strPath).size());
    return CText((strFolder + "Ostrelin.exe").c_str());
}
} // namespace

int RunCheck(const char* pszPath, bool fStrict, const char* pszLauncher)
{
    const CComApartment apartment;
    if (FAILED(apartment.Status()))
    {
        std::fprintf(stderr, "ostrelin-config: COM cannot start: %s\n",
                     DescribeStatus(apartment.Status()).GetString());
        return nFileError;
    }
    std::printf("configuration: %s\n", pszPath);
    const CRegistryView view =
        FindRegistryView(pszLauncher ? CText(pszLauncher) : LauncherBeside(pszPath));
    std::printf("registry view: %s\n", view.strDescription.GetString());
    int nExitCode = nRunGoesThrough;
    if (!ReportForm(pszPath, nExitCode))
        return nExitCode;
    try
    {
        return CheckLoaded(CXMLDoc::FromURL(pszPath), view.samView, fStrict);
    }
    catch (const CCoreError& error)
    {
        return RunEnds(DescribeStatus(error.GetHResult()));
    }
}
