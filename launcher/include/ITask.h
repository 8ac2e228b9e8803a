// The contract between the launcher and its task components: the one
// definition that both sides compile.
#pragma once

#include <windows.h>
#include <msxml2.h>

// What the launcher does after a task's Run. Any other value counts as
// InstructionContinue, so the type is a plain 32-bit signed integer.
enum TaskInstruction : int
{
    InstructionContinue = 0, // go on with the next task
    InstructionReload = 1,   // reload the configuration and start the list again
    InstructionStop = 2,     // end the run
};
static_assert(sizeof(TaskInstruction) == 4, "TaskInstruction is a 32-bit integer");

// {8C7A4B68-25B8-409B-BA61-D7AAD6170C06}
inline constexpr IID IID_ITask = {
    0x8c7a4b68, 0x25b8, 0x409b, {0xba, 0x61, 0xd7, 0xaa, 0xd6, 0x17, 0x0c, 0x06}};

// A task component: an in-process COM class the launcher creates by CLSID.
// clang-format off
MIDL_INTERFACE("8C7A4B68-25B8-409B-BA61-D7AAD6170C06")
ITask : public IUnknown
{
public:
    // pElement: the task's own configuration element, lent for the call.
    // phRegisterMutex: the launcher's register mutex handle, in and out; a task
    // that closes the handle writes NULL there. Only S_OK lets the task run.
    virtual HRESULT STDMETHODCALLTYPE Init(IXMLDOMElement* pElement, HANDLE* phRegisterMutex) = 0;

    // peInstruction is InstructionContinue on entry. A failure HRESULT ends the
    // whole run; any other result has the launcher act on the instruction.
    virtual HRESULT STDMETHODCALLTYPE Run(TaskInstruction* peInstruction) = 0;
};
// clang-format on
