#include "TaskRunner.h"

#include "CoreBSTR.h"
#include "CoreError.h"
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

// Creates, initialises and runs the task of child iChild. Returns true when the
// task's instruction ends the pass. A child that names no usable task is
// skipped without a trace.
bool RunTask(const CXMLNodeList& taskList, long iChild, HANDLE* phRegisterMutex,
             TaskInstruction& eInstruction)
{
    CLSID clsid;
    {
        const CText strClsid = taskList.GetItem(iChild).GetAttribute("CLSID", "", nullptr);
        if (::CLSIDFromString(CComBSTR(strClsid), &clsid) != S_OK)
            return false;
    }

    eInstruction = InstructionContinue;
    {
        CInterfacePtr<ITask> pifTask;
        if (::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                               reinterpret_cast<void**>(pifTask.AcceptHere())) != S_OK)
            return false;
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
    for (;;)
    {
        // Cleared on every pass: a reloaded list that runs no task ends the run
        // instead of reloading for ever.
        TaskInstruction eInstruction = InstructionContinue;

        const CXMLDoc Doc = CXMLDoc::FromURL(strConfigPath);
        CHECK_WIN32(Doc);
        const CXMLElement Node = Doc.GetDocumentElement();
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
