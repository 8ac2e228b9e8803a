#include "TaskRunner.h"

#include "CoreBSTR.h"
#include "CoreError.h"
#include "CoreTrace.h"
#include "CoreXML.h"
#include "Explain.h"
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

CText ElementName(const CXMLNodeList& taskList, long iChild)
{
    return taskList.GetItem(iChild).GetNodeName("");
}

const char* DescribeInstruction(TaskInstruction eInstruction)
{
    const char* const names[] = {"continue", "reload", "stop"};
    return eInstruction >= InstructionContinue && eInstruction <= InstructionStop
               ? names[eInstruction]
               : "taken as continue";
}

// The explained run's record of one child: what became of it, written once,
// also when its Run ends the run with an error.
class CChildExplanation
{
public:
    CChildExplanation(const CXMLNodeList& taskList, long iChild, long cChildren,
                      const CText& strClsid)
    {
        if (IsExplaining())
            FormatText(m_strChild, "child %ld of %ld <%s> CLSID=\"%s\"", iChild + 1, cChildren,
                       ElementName(taskList, iChild).GetString(), strClsid.GetString());
    }
    ~CChildExplanation()
    {
        if (m_nRunStart == 0)
            return;
        try
        {
            Explain("%s: Run failed after %s ms: the run ends", m_strChild.GetString(),
                    ExplainMilliseconds(m_nRunStart).GetString());
        }
        catch (...)
        {
            // Out of memory while an error ends the run: its Thrown record tells.
        }
    }
    CChildExplanation(const CChildExplanation&) = delete;
    CChildExplanation& operator=(const CChildExplanation&) = delete;

    void Skipped(const char* pszWhy, HRESULT hr)
    {
        Explain("%s: %s (0x%08X), skipped", m_strChild.GetString(), pszWhy,
                static_cast<unsigned>(hr));
    }
    void RunStarts() { m_nRunStart = ExplainClock(); }
    void Ran(HRESULT hrRun, TaskInstruction eInstruction)
    {
        if (m_nRunStart == 0)
            return;
        Explain("%s: ran, Run 0x%08X, instruction %d (%s), %s ms", m_strChild.GetString(),
                static_cast<unsigned>(hrRun), static_cast<int>(eInstruction),
                DescribeInstruction(eInstruction), ExplainMilliseconds(m_nRunStart).GetString());
        m_nRunStart = 0;
    }

private:
    CText m_strChild; // empty unless explaining
    LONGLONG m_nRunStart = 0;
};

// Creates, initialises and runs the task of child iChild. Returns true when the
// task's instruction ends the pass. A child that names no usable task is
// skipped; only a registered class that cannot be created leaves a trace.
bool RunTask(const CXMLNodeList& taskList, long iChild, long cChildren, HANDLE* phRegisterMutex,
             TaskInstruction& eInstruction)
{
    const CText strClsid = taskList.GetItem(iChild).GetAttribute("CLSID", "");
    CChildExplanation explanation(taskList, iChild, cChildren, strClsid);
    CLSID clsid;
    const HRESULT hrClsid = ::CLSIDFromString(CComBSTR(strClsid), &clsid);
    if (hrClsid != S_OK)
    {
        explanation.Skipped("not a CLSID", hrClsid);
        return false;
    }

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
                    "---->\tCoCreateInstance() problem 0x%08X: child %ld <%s> CLSID=\"%s\"\n",
                    static_cast<unsigned>(hrCreate), iChild + 1,
                    ElementName(taskList, iChild).GetString(), strClsid.GetString());
                TraceText(strRecord);
            }
            explanation.Skipped(hrCreate == REGDB_E_CLASSNOTREG ? "not registered"
                                : hrCreate == E_NOINTERFACE     ? "no ITask interface"
                                                                : "cannot be created",
                                hrCreate);
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
        {
            explanation.Skipped("Init refused", hrInit);
            return false;
        }

        explanation.RunStarts();
        // The trace shows this expression exactly as written.
        // clang-format off
        const HRESULT hrRun = CHECK_HRESULT(pifTask->Run( &eInstruction ));
        // clang-format on
        explanation.Ran(hrRun, eInstruction);
    } // the task is released before its instruction is looked at

    return eInstruction == InstructionStop || eInstruction == InstructionReload;
}
} // namespace

void RunTasks(const CWideText& strConfigPath, HANDLE* phRegisterMutex)
{
    // Traces show the path in the ANSI code page.
    const CText strShownPath = AnsiFromWide(strConfigPath);
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
            ::SetLastError(ERROR_XML_PARSE_ERROR);
        }
        CHECK_WIN32(Node);
        const CXMLNodeList taskList = GetTaskList(Node);

        const long cChildren = taskList.GetLength();
        Explain("pass %d: %s, %s, %ld %s", nPass, strShownPath.GetString(),
                fScrambled ? "scrambled" : "plain", cChildren,
                cChildren == 1 ? "child" : "children");
        for (long iChild = 0; iChild < cChildren; ++iChild)
        {
            if (RunTask(taskList, iChild, cChildren, phRegisterMutex, eInstruction))
                break;
        }
        if (eInstruction != InstructionReload)
            return;
        ::CoFreeUnusedLibraries();
    } // the task list, Node and Doc are released here, in that order
}
