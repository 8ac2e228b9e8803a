#include "TaskRunner.h"

#include "CoreBSTR.h"
#include "CoreError.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "ITask.h"

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

// A registered class that cannot be created (its DLL gone or broken) is an
// installation fault: traced, though the child is skipped as before.
bool IsSilentCreationFailure(HRESULT hr)
{
    return hr == REGDB_E_CLASSNOTREG || hr == E_NOINTERFACE;
}

void TraceCreationFailure(long iChild, const CXMLElement& taskElement, const CText& strClsid,
                          HRESULT hr)
{
    CComBSTR strName;
    taskElement->get_tagName(strName.AcceptHere());
    CText strRecord;
    FormatText(strRecord, "---->\tCoCreateInstance() problem 0x%08X: child %ld <%s> CLSID=\"%s\"\n",
               static_cast<unsigned>(hr), iChild + 1,
               TextFromWide(strName, strName.Length(), CP_ACP).GetString(), strClsid.GetString());
    TraceText(strRecord);
}

// Creates, initialises and runs the task of child iChild. Returns true when the
// task's instruction ends the pass. A child that names no usable task is
// skipped; only a registered class that cannot be created leaves a trace.
bool RunTask(const CXMLNodeList& taskList, long iChild, HANDLE* phRegisterMutex,
             TaskInstruction& eInstruction)
{
    const CText strClsid = taskList.GetItem(iChild).GetAttribute("CLSID", "", nullptr);
    CLSID clsid;
    if (::CLSIDFromString(CComBSTR(strClsid), &clsid) != S_OK)
        return false;

    eInstruction = InstructionContinue;
    {
        CInterfacePtr<ITask> pifTask;
        const HRESULT hrCreate = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                                    reinterpret_cast<void**>(pifTask.AcceptHere()));
        if (hrCreate != S_OK)
        {
            if (!IsSilentCreationFailure(hrCreate))
                TraceCreationFailure(iChild, taskList.GetItem(iChild), strClsid, hrCreate);
            return false;
        }
        ::SetLastError(ERROR_INVALID_DATA); // S_OK without an interface
        CHECK_WIN32(pifTask);

        HRESULT hrInit;
        {
            const CXMLElement taskElement = taskList.GetItem(iChild); // lent for the call
            hrInit = pifTask->Init(taskElement.pif(), phRegisterMutex);
        }
        if (hrInit != S_OK)
            return false;

        // The trace shows this expression exactly as written.
        // clang-format off
        CHECK_HRESULT(pifTask->Run( &eInstruction ));
        // clang-format on
    } // the task is released before its instruction is looked at

    return eInstruction == InstructionStop || eInstruction == InstructionReload;
}
} // namespace

void EndRunNormally(CGuardHandles& handles)
{
    // Nothing after this runs, not even COM's shutdown.
    handles.CloseAll();
    ::ExitProcess(0);
}

void RunTasks(const CText& strConfigPath, CGuardHandles& handles, NormalEndFunction pfnNormalEnd)
{
    RunTasks(WideFromText(strConfigPath, strConfigPath.GetLength()), handles, pfnNormalEnd);
}

void RunTasks(const CWideText& strConfigPath, CGuardHandles& handles,
              NormalEndFunction pfnNormalEnd)
{
    for (;;)
    {
        // Cleared on every pass: a reloaded list that runs no task ends the run
        // instead of reloading for ever.
        TaskInstruction eInstruction = InstructionContinue;

        const CXMLDoc Doc = CXMLDoc::FromURL(strConfigPath);
        ::SetLastError(ERROR_INVALID_DATA); // no document
        CHECK_WIN32(Doc);
        const CXMLElement Node = Doc.GetDocumentElement();
        if (!Node)
        {
            Doc.TraceParseError(TextFromWide(strConfigPath.c_str(),
                                             static_cast<int>(strConfigPath.size()), CP_ACP));
            ::SetLastError(ERROR_XML_PARSE_ERROR);
        }
        CHECK_WIN32(Node);
        const CXMLNodeList taskList = GetTaskList(Node);

        const long cChildren = taskList.GetLength();
        for (long iChild = 0; iChild < cChildren; ++iChild)
        {
            if (RunTask(taskList, iChild, &handles.hRegisterMutex, eInstruction))
                break;
        }

        if (eInstruction != InstructionReload)
        {
            pfnNormalEnd(handles);
            return;
        }
        ::CoFreeUnusedLibraries();
    } // the task list, Node and Doc are released here, in that order
}
