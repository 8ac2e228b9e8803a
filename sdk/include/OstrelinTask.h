// The task SDK: the one header a task component includes. Derive from
// CTaskBase, implement OnRun (and OnInit if the task reads its element), and
// name the class with OSTRELIN_TASK_CLASS; the SDK supplies the COM plumbing
// and the DLL exports.
//
//     using namespace OstrelinSdk;
//     class CHelloTask : public CTaskBase
//     {
//         HRESULT OnRun(TaskInstruction& eInstruction) override;
//     };
//     OSTRELIN_TASK_CLASS(CHelloTask, CLSID_HelloTask);
//
// What the SDK offers, all through this header but CoreHandle.h. Its own
// names stand in the namespace OstrelinSdk (a task says using namespace
// OstrelinSdk); global are only the contract's (ITask, TaskInstruction,
// IID_ITask), the core library's below, and the macro OSTRELIN_TASK_CLASS.
// None of ATL's names is declared (CAtlException, AtlThrow, CComBSTR,
// CComVariant, CComPtr), so a task may include atlbase.h beside it.
//   ITask.h        the contract with the launcher: ITask, TaskInstruction
//   this header    CTaskBase, OSTRELIN_TASK_CLASS, GetTaskAttribute, the DLL's
//                  unload policy
//   TaskConfig.h   CTaskConfig: reading attributes; a faulty one is traced and
//                  fails Run
//   TaskPaths.h    ResolveTaskPath, GetLiveConfigPath, GetFullTaskPath: paths
//                  relative to the folder of the Config.xml being run
//   TaskTrace.h    TraceTaskText: a trace record of the task's own
//   TaskHResult.h  the COM boundary: HResultFromTaskCall, HResultFromTaskException
// and of the launcher's core library:
//   CoreError.h    the check points CHECK_HRESULT and CHECK_WIN32 and the
//                  errors they raise (CCoreError, CWin32Error, CCOMError), which
//                  trace "Thrown" lines as the launcher's do; the text type of
//                  their descriptions is only declared
//   CoreInterfacePtr.h  CInterfacePtr, the owning COM pointer
//   CoreHandle.h   owners of handles (CUniqueHandle, CUniqueFileHandle,
//                  CUniqueRegKey), included where a task needs them
// The rest of the core library is linked into the SDK's library for the SDK's
// own use and is not part of what it offers.
#pragma once

#include "CoreError.h"
#include "TaskHResult.h"
#include "CoreInterfacePtr.h"
#include "ITask.h"
#include "TaskConfig.h"
#include "TaskPaths.h"
#include "TaskTrace.h"

#include <string>

namespace OstrelinSdk
{
// Base of every task object: reference counting, QueryInterface for IUnknown
// and ITask, and a barrier that turns exceptions into failure HRESULTs, since
// no exception may cross into the launcher.
class CTaskBase : public ITask
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Init(IXMLDOMElement* pElement, HANDLE* phRegisterMutex) final;
    HRESULT STDMETHODCALLTYPE Run(TaskInstruction* peInstruction) final;

    CTaskBase(const CTaskBase&) = delete;
    CTaskBase& operator=(const CTaskBase&) = delete;

protected:
    CTaskBase();
    virtual ~CTaskBase();

    // Only S_OK lets the task run. pElement is lent for the call; keep a
    // reference (AddRef, or a CInterfacePtr) to use it later. A task that
    // closes *phRegisterMutex writes NULL there. The default accepts.
    virtual HRESULT OnInit(IXMLDOMElement* pElement, HANDLE* phRegisterMutex);

    // eInstruction is InstructionContinue on entry. A failure result ends the
    // whole run; any other result has the launcher act on eInstruction.
    virtual HRESULT OnRun(TaskInstruction& eInstruction) = 0;

private:
    LONG m_cRef;
};

// The text of pElement's attribute pszName; false (and strValue empty) when
// the element has no such attribute.
bool GetTaskAttribute(IXMLDOMElement* pElement, const wchar_t* pszName, std::wstring& strValue);

// False when the DLL stays loaded for the life of the process (the default for
// mingw-w64 builds, whose static runtime cannot be unloaded cleanly).
bool TaskModuleMayUnload();

// The DLL stays loaded while this count is above zero: every live task object,
// every class object reference and every IClassFactory::LockServer(TRUE).
void LockTaskModule();
void UnlockTaskModule();

// The class object of one task class: its CLSID, its registry name and how to
// create an instance. Every instance of this type is one class that the DLL
// serves and registers; it lives as long as the DLL (static storage).
class CTaskClass : public IClassFactory
{
public:
    using CreateFunction = HRESULT (*)(REFIID riid, void** ppv);

    CTaskClass(const CLSID& clsid, const char* pszName, CreateFunction pfnCreate);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

    const CLSID& GetClassId() const { return m_clsid; }
    const char* GetName() const { return m_pszName; }

    // The classes of this DLL, in no particular order.
    static CTaskClass* GetFirst() { return s_pFirst; }
    CTaskClass* GetNext() const { return m_pNext; }

    CTaskClass(const CTaskClass&) = delete;
    CTaskClass& operator=(const CTaskClass&) = delete;

private:
    CLSID m_clsid;
    const char* m_pszName;
    CreateFunction m_pfnCreate;
    CTaskClass* m_pNext;

    static CTaskClass* s_pFirst;
};

template <class TTask> HRESULT CreateTaskObject(REFIID riid, void** ppv)
{
    CInterfacePtr<TTask> pTask; // owns the one reference a new object starts with
    const HRESULT hr = HResultFromTaskCall([&] { pTask.Attach(new TTask()); });
    return FAILED(hr) ? hr : pTask->QueryInterface(riid, ppv);
}
} // namespace OstrelinSdk

// Declares TTask (default-constructible, derived from CTaskBase) as a class of
// this DLL under clsid. Write it once per class, at namespace scope.
#define OSTRELIN_TASK_CLASS(TTask, clsid)                                                          \
    static ::OstrelinSdk::CTaskClass g_TaskClass##TTask((clsid), #TTask,                           \
                                                        &::OstrelinSdk::CreateTaskObject<TTask>)
