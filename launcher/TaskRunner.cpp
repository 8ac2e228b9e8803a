#include "TaskRunner.h"

#include "CoreBSTR.h"
#include "CoreError.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "ExplainedRun.h"
#include "ITask.h"
#include "TaskManifest.h"

namespace
{
// The children of the document element's "Run" element; the "Run" element
// itself is released at once.
CXMLNodeList GetTaskList(const CXMLElement& Node)
{
    const CXMLElement Run = Node.SelectSingleElement("Run");
    ::SetLastError(ERROR_NOT_FOUND); // what the check reports when "Run" is missing
    CHECK_WIN32(Run);
    return Run.GetChildNodes();
}

// Creates, initialises and runs the task of child iChild. Returns true when the
// task's instruction ends the pass. A child that names no usable task is
// skipped; only a registered class that cannot be created leaves a trace.
bool RunTask(const CXMLNodeList& taskList, long iChild, long cChildren,
             const CActivatedTaskManifest& manifest, HANDLE* phRegisterMutex,
             CExplainedRun& explained, TaskInstruction& eInstruction)
{
    const CText strClsid = taskList.GetItem(iChild).GetAttribute("CLSID", "");
    explained.OnChild(taskList, iChild, cChildren, strClsid);
    CLSID clsid;
    const HRESULT hrClsid = ::CLSIDFromString(CComBSTR(strClsid), &clsid);
    if (hrClsid != S_OK)
    {
        explained.OnSkipped("not a CLSID", hrClsid, nullptr, nullptr);
        return false;
    }
    const wchar_t* const pszListedIn = manifest.FindClass(clsid); // else the registry's

    eInstruction = InstructionContinue;
    {
        CInterfacePtr<ITask> pifTask;
        const HRESULT hrCreate = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                                    pifTask.AcceptHereAsVoid());
        if (hrCreate != S_OK)
        {
            // A registered class that cannot be created (its DLL gone or broken)
            // is an installation fault: traced, though the child is skipped.
            if (hrCreate != REGDB_E_CLASSNOTREG && hrCreate != E_NOINTERFACE)
            {
                CText strRecord;
                FormatText(
                    strRecord,
                    "---->\tCoCreateInstance() problem 0x%08X: child %ld <%s> CLSID=\"%s\"%s\n",
                    static_cast<unsigned>(hrCreate), iChild + 1,
                    taskList.GetItem(iChild).GetNodeName("").GetString(), strClsid.GetString(),
                    pszListedIn != nullptr ? "; listed in the installation's Tasks.manifest" : "");
                TraceText(strRecord);
            }
            explained.OnSkipped(hrCreate == REGDB_E_CLASSNOTREG ? "not registered"
                                : hrCreate == E_NOINTERFACE     ? "no ITask interface"
                                                                : "cannot be created",
                                hrCreate, &clsid, pszListedIn);
            return false;
        }
        ::SetLastError(ERROR_INVALID_DATA); // S_OK without an interface
        CHECK_WIN32(pifTask);
        explained.OnCreated(pifTask.pif(), pszListedIn);

        HRESULT hrInit;
        {
            const CXMLElement taskElement = taskList.GetItem(iChild); // lent for the call
            hrInit = pifTask->Init(taskElement.pif(), phRegisterMutex);
        }
        if (hrInit != S_OK)
        {
            explained.OnSkipped("Init refused", hrInit, nullptr, nullptr);
            return false;
        }

        explained.OnRunStarts();
        // The trace shows this expression exactly as written.
        // clang-format off
        const HRESULT hrRun = CHECK_HRESULT(pifTask->Run( &eInstruction ));
        // clang-format on
        explained.OnRan(hrRun, eInstruction);
    } // the task is released before its instruction is looked at

    return eInstruction == InstructionStop || eInstruction == InstructionReload;
}
} // namespace

void RunTasks(const CWideText& strConfigPath, HANDLE* phRegisterMutex, CExplainedRun& explained)
{
    // Traces show the path in the ANSI code page.
    const CText strShownPath = AnsiFromWide(strConfigPath);
    const CWideText strManifestPath = TaskManifestPathFor(strConfigPath);
    for (int nPass = 1;; ++nPass)
    {
        // Cleared on every pass: a reloaded list that runs no task ends the run
        // instead of reloading for ever.
        TaskInstruction eInstruction = InstructionContinue;

        bool fScrambled = false;
        const CXMLDoc Doc = CXMLDoc::FromURL(strConfigPath, &fScrambled);
        ::SetLastError(ERROR_INVALID_DATA); // no document
        CHECK_WIN32(Doc);
        const CXMLElement Node = Doc.GetDocumentElement();
        if (!Node)
        {
            Doc.TraceParseError(strShownPath);
            explained.OnUnparsed(Doc);
            ::SetLastError(ERROR_XML_PARSE_ERROR);
        }
        CHECK_WIN32(Node);
        const CXMLNodeList taskList = GetTaskList(Node);
        // The installation's own classes, as its manifest lists them on this
        // pass; one the system refuses ends the run rather than leave the
        // classes to the registry, where another installation may have put them.
        CActivatedTaskManifest manifest;
        const bool fManifestUsable = manifest.Activate(strManifestPath);
        if (!fManifestUsable)
            TraceTaskManifestRefused(strManifestPath);
        CHECK_WIN32(fManifestUsable);

        const long cChildren = taskList.GetLength();
        explained.OnPass(nPass, strShownPath, fScrambled, cChildren);
        for (long iChild = 0; iChild < cChildren; ++iChild)
        {
            if (RunTask(taskList, iChild, cChildren, manifest, phRegisterMutex, explained,
                        eInstruction))
                break;
        }
        if (eInstruction != InstructionReload)
            return;
        ::CoFreeUnusedLibraries();
    } // the task list, Node and Doc are released here, in that order
}
