// A task written as an ATL server is: atlbase.h first, then the SDK, and the
// names of both unqualified (a using directive for each). A name of ATL's that
// the SDK declared too would make them ambiguous here.
//
//   <AtlTask CLSID="{F665C7C6-65B1-485E-97DB-8E36FC82F573}"/>
#include <atlbase.h>

#include "OstrelinTask.h"

using namespace OstrelinSdk; // beside atlbase.h's using namespace ATL

// {F665C7C6-65B1-485E-97DB-8E36FC82F573}
const CLSID CLSID_AtlTask = {
    0xf665c7c6, 0x65b1, 0x485e, {0x97, 0xdb, 0x8e, 0x36, 0xfc, 0x82, 0xf5, 0x73}};

class CAtlTask : public CTaskBase
{
    HRESULT OnRun(TaskInstruction& eInstruction) override
    {
        CComPtr<IXMLDOMElement> pElement;
        CComBSTR strName;
        CComVariant varValue{};
        const bool fEmpty = !pElement.p && !strName.m_str && varValue.vt == VT_EMPTY;
        HRESULT hr = S_OK;
        try
        {
            AtlThrow(E_ACCESSDENIED);
        }
        catch (const CAtlException& error)
        {
            hr = error.m_hr;
        }
        TraceTaskText("AtlTask", fEmpty && hr == E_ACCESSDENIED ? L"ATL and the SDK agree"
                                                                : L"ATL lost its names");
        eInstruction = InstructionContinue;
        return S_OK;
    }
};

OSTRELIN_TASK_CLASS(CAtlTask, CLSID_AtlTask);
