// COM helpers shared by the SDK's tests.
#pragma once

#include "ITask.h"

#include <gtest/gtest.h>

#include <string>

// Owns one interface pointer.
template <class T> struct CPtr
{
    CPtr() = default;
    CPtr(const CPtr&) = delete;
    CPtr& operator=(const CPtr&) = delete;
    ~CPtr() { Reset(); }

    T* operator->() const { return p; }
    void** Out() { return reinterpret_cast<void**>(&p); }
    void Reset()
    {
        if (p)
            p->Release();
        p = nullptr;
    }

    T* p = nullptr;
};

class CComTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitialize(nullptr)); }
    void TearDown() override { CoUninitialize(); }
};

// <Task attributes/> parsed by MSXML; attributes use single quotes.
inline void MakeElement(const std::wstring& strAttributes, CPtr<IXMLDOMElement>& element)
{
    CLSID clsidDocument = {};
    CPtr<IXMLDOMDocument> doc;
    VARIANT_BOOL fLoaded = VARIANT_FALSE;
    BSTR bstrXml = SysAllocString((L"<Task " + strAttributes + L"/>").c_str());
    EXPECT_EQ(S_OK, CLSIDFromProgID(L"Msxml2.DOMDocument", &clsidDocument));
    EXPECT_EQ(S_OK, CoCreateInstance(clsidDocument, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IXMLDOMDocument, doc.Out()));
    if (doc.p && doc->loadXML(bstrXml, &fLoaded) == S_OK)
    {
        EXPECT_EQ(S_OK, doc->get_documentElement(&element.p));
    }
    SysFreeString(bstrXml);
    EXPECT_TRUE(element.p) << "cannot parse " << testing::PrintToString(strAttributes);
}

// A file next to the test program.
inline std::wstring GetBinPath(const wchar_t* pszFile)
{
    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    return strPath.substr(0, strPath.rfind(L'\\') + 1) + pszFile;
}

struct CAnswer
{
    HRESULT hrInit = E_UNEXPECTED, hrRun = E_UNEXPECTED;
    TaskInstruction eInstruction = InstructionContinue;
};

// A fresh task created by CLSID: Init with the attributes, Run if Init accepted.
inline CAnswer RunTask(const CLSID& clsid, const std::wstring& strAttributes)
{
    CAnswer answer;
    CPtr<ITask> task;
    CPtr<IXMLDOMElement> element;
    HANDLE hRegister = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask, task.Out()));
    MakeElement(strAttributes, element);
    if (!task.p || !element.p)
        return answer;
    answer.hrInit = task->Init(element.p, &hRegister);
    if (answer.hrInit == S_OK)
        answer.hrRun = task->Run(&answer.eInstruction);
    return answer;
}
