// Runs a task component as the launcher does: created by CLSID, Init with its
// element, Run when Init accepted. Needs a COM apartment (ComTest).
#pragma once

#include "ComApartment.h"
#include "CoreXML.h"
#include "ITask.h"

#include <string>

// <Task attributes/> as the DOM gives it; attributes are written with single quotes.
inline CXMLElement MakeElement(const std::string& attributes)
{
    const CXMLDoc doc;
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    doc.pif()->loadXML(CComBSTR(("<Task " + attributes + "/>").c_str()), &fLoaded);
    EXPECT_EQ(VARIANT_TRUE, fLoaded) << attributes;
    return doc.GetDocumentElement();
}

struct CAnswer
{
    HRESULT hrInit = E_UNEXPECTED, hrRun = E_UNEXPECTED;
    TaskInstruction eInstruction = InstructionContinue;
};

inline CAnswer RunTask(const CLSID& clsid, const std::string& attributes)
{
    CAnswer answer;
    CInterfacePtr<ITask> pifTask;
    EXPECT_EQ(S_OK, ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                                       reinterpret_cast<void**>(pifTask.AcceptHere())));
    const CXMLElement element = MakeElement(attributes);
    HANDLE hRegister = nullptr;
    if (!pifTask || !element)
        return answer;
    answer.hrInit = pifTask->Init(element.pif(), &hRegister);
    if (answer.hrInit == S_OK)
        answer.hrRun = pifTask->Run(&answer.eInstruction);
    return answer;
}
