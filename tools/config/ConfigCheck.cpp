#include "ConfigCheck.h"

#include "ConfigScramble.h"
#include "CoreFile.h"
#include "CoreXML.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace
{
const int kRunGoesThrough = 0;
const int kToolFailed = 1;
const int kRunEnds = 2;

class CComApartment
{
public:
    CComApartment() : m_hr(::CoInitialize(nullptr)) {}
    ~CComApartment()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;
    HRESULT Status() const { return m_hr; }

private:
    HRESULT m_hr;
};

class CRegistryKey
{
public:
    CRegistryKey() = default;
    ~CRegistryKey()
    {
        if (m_hKey != nullptr)
            ::RegCloseKey(m_hKey);
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    HKEY* AcceptHere() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

CText Flatten(CText strText)
{
    strText.Replace("\r\n", " ");
    strText.Replace('\n', ' ');
    return strText.Trim();
}

CText DescribeError(const CCoreError& error)
{
    return Flatten(error.GetDescription()) + " at " + error.GetExpression();
}

// The form the launcher's loader will see: scrambled for the file's own name,
// or plain.
void ReportForm(const char* pszPath)
{
    CSharedReadFile file;
    if (file.Open(pszPath) != S_OK)
        return;
    const ULONGLONG cbFile = file.GetSize();
    const char* const pszName = ::PathFindFileNameA(pszPath);
    const size_t cchName = std::strlen(pszName);
    if (cbFile < cchName || cchName == 0)
    {
        std::printf("form: plain\n");
        return;
    }
    std::unique_ptr<char[]> bufHead(new (std::nothrow) char[cchName]);
    if (!bufHead || file.Read(bufHead.get(), static_cast<DWORD>(cchName)) != S_OK)
        return;
    if (IsScrambledConfig(bufHead.get(), cchName, pszName, cchName))
        std::printf("form: scrambled for \"%s\"\n", pszName);
    else
        std::printf("form: plain\n");
}

CText NodeName(IXMLDOMNode* pifNode)
{
    CComBSTR strName;
    if (pifNode == nullptr || FAILED(pifNode->get_nodeName(strName.AcceptHere())))
        return CText("?");
    return TextFromWide(strName, strName.Length());
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

// The in-process server registered for the class in the 32-bit view, or empty.
bool FindInprocServer(const CLSID& clsid, CText& strServer)
{
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    CText strKey("CLSID\\");
    strKey += TextFromWide(wszClsid, static_cast<int>(std::wcslen(wszClsid)));
    strKey += "\\InprocServer32";
    CRegistryKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, strKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                        key.AcceptHere()) != ERROR_SUCCESS)
        return false;
    char szServer[MAX_PATH * 2] = {};
    DWORD cbServer = sizeof szServer - 1;
    DWORD dwType = 0;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szServer),
                           &cbServer) != ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    strServer = szServer;
    return !strServer.IsEmpty();
}

// One task as the launcher takes it: parse the CLSID, then create it, which
// needs an in-process server. Returns whether it would be created.
bool ReportTask(long iChild, const CXMLElement& task)
{
    const CText strClsid = task.GetAttribute("CLSID", "");
    std::printf("  %ld: <%s> CLSID \"%s\": ", iChild, NodeName(task.pif()).GetString(),
                strClsid.GetString());
    CLSID clsid = {};
    const HRESULT hrParse = ::CLSIDFromString(CComBSTR(strClsid), &clsid);
    if (hrParse != S_OK)
    {
        std::printf("does not parse (0x%08lX): skipped\n", static_cast<unsigned long>(hrParse));
        return false;
    }
    wchar_t wszClsid[40] = {};
    ::StringFromGUID2(clsid, wszClsid, 40);
    std::printf("parses as %ls; ", wszClsid);
    CText strServer;
    if (!FindInprocServer(clsid, strServer))
    {
        std::printf("not registered as an in-process server: skipped\n");
        return false;
    }
    std::printf("registered in-process: %s\n", strServer.GetString());
    return true;
}

// Child i as the launcher takes it; false when it ends the run, as any node
// that is not an element does.
bool ReportChild(const CXMLNodeList& list, long iChild, long& cRegistered)
{
    try
    {
        const CXMLElement task = list.GetItem(iChild);
        if (ReportTask(iChild, task))
            ++cRegistered;
        return true;
    }
    catch (const CCoreError& error)
    {
        std::printf("  %ld: %s node, not an element: %s\n"
                    "result: the launcher ends its run here, at child %ld\n",
                    iChild, NodeTypeName(list, iChild).GetString(),
                    DescribeError(error).GetString(), iChild);
        return false;
    }
}

int CheckLoaded(const CXMLDoc& Doc)
{
    const CXMLElement Node = Doc.GetDocumentElement();
    if (!Node)
    {
        std::printf("document element: none (the file does not parse)\n"
                    "result: the launcher ends its run here\n");
        return kRunEnds;
    }
    std::printf("document element: <%s>\n", NodeName(Node.pif()).GetString());

    const CXMLElement Run = Node.SelectSingleElement("Run");
    if (!Run)
    {
        std::printf("\"Run\": missing\nresult: the launcher ends its run here\n");
        return kRunEnds;
    }
    const CXMLNodeList list = Run.GetChildNodes();
    const long cChildren = list.GetLength();
    std::printf("\"Run\": %ld child node(s)\n", cChildren);

    long cRegistered = 0;
    for (long iChild = 0; iChild < cChildren; ++iChild)
    {
        if (!ReportChild(list, iChild, cRegistered))
            return kRunEnds;
    }
    if (cChildren == 0)
        std::printf("result: no task to run; the run ends normally\n");
    else
        std::printf("result: the run goes through the list; %ld of %ld task(s) registered\n",
                    cRegistered, cChildren);
    return kRunGoesThrough;
}
} // namespace

int RunCheck(const char* pszPath)
{
    const CComApartment apartment;
    if (FAILED(apartment.Status()))
    {
        std::fprintf(stderr, "ostrelin-config: COM cannot start (0x%08lX)\n",
                     static_cast<unsigned long>(apartment.Status()));
        return kToolFailed;
    }
    std::printf("configuration: %s\n", pszPath);
    ReportForm(pszPath);
    try
    {
        return CheckLoaded(CXMLDoc::FromURL(pszPath));
    }
    catch (const CCoreError& error)
    {
        std::printf("result: the launcher ends its run here: %s\n",
                    DescribeError(error).GetString());
        return kRunEnds;
    }
}
