// ostrelin-bench-steps: the launcher's way from process start to the first
// task's Init, taken with the launcher's own functions and its manifest, with the performance
// counter written after each step, so that the start-up benchmark can say
// where the time goes. Arguments: the log file, then the configuration path.
// Log lines: "<step> qpc=<counter>".
#include <windows.h>

#include "CoreHandle.h"
#include "CoreXML.h"
#include "ExplainedRun.h"
#include "ITask.h"
#include "InstanceGuard.h"
#include "LaunchPaths.h"

#include <string>

namespace
{
std::string g_lines;

void Mark(const char* pszStep)
{
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);
    g_lines += std::string(pszStep) + " qpc=" + std::to_string(counter.QuadPart) + "\r\n";
}

void WriteLog(const std::string& path)
{
    const CUniqueFileHandle hFile(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!hFile)
        return;
    DWORD cbWritten = 0;
    ::WriteFile(hFile.Get(), g_lines.data(), static_cast<DWORD>(g_lines.size()), &cbWritten,
                nullptr);
}

// The next argument of the command line, quoted or bare.
std::string NextArgument(const char*& psz)
{
    while (*psz == ' ')
        ++psz;
    std::string argument;
    const char chEnd = *psz == '"' ? '"' : ' ';
    if (chEnd == '"')
        ++psz;
    while (*psz != '\0' && *psz != chEnd)
        argument += *psz++;
    if (*psz == chEnd)
        ++psz;
    return argument;
}
} // namespace

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR pszCmdLine,
                   int /*nShowCmd*/)
{
    Mark("entry");
    const char* psz = pszCmdLine;
    const std::string log = NextArgument(psz);
    const std::string config = NextArgument(psz);

    ::CoInitialize(nullptr);
    ::DefWindowProcA(nullptr, 0, 0, 0);
    Mark("com");
    try
    {
        CGuardHandles handles;
        CExplainedRun quiet; // not explaining: silent
        TakeInstanceGuard(handles, MakeInstanceKey(::GetCommandLineA()),
                          !GetResourceRootValue().empty(), quiet);
        // The launcher's own path: the wide forms.
        const CWideText strConfigPath =
            ResolveConfigPath(WideFromText(config.c_str(), static_cast<int>(config.size())));
        Mark("guard");
        {
            const CXMLDoc docEmpty;
            Mark("document");
        }
        const CXMLDoc Doc = CXMLDoc::FromURL(strConfigPath);
        Mark("load");
        const CXMLNodeList taskList =
            Doc.GetDocumentElement().SelectSingleElement("Run").GetChildNodes();
        Mark("select");
        const CText strClsid = taskList.GetItem(0).GetAttribute("CLSID", "");
        CLSID clsid;
        ::CLSIDFromString(CComBSTR(strClsid), &clsid);
        Mark("clsid");
        CInterfacePtr<ITask> pifTask;
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITask,
                           pifTask.AcceptHereAsVoid());
        Mark("create");
        if (pifTask)
        {
            pifTask->Init(taskList.GetItem(0).pif(), handles.hRegisterMutex.AddressOf());
            Mark("init");
        }
        WriteLog(log);
    }
    catch (const CCoreError&)
    {
        WriteLog(log);
        return 1;
    }
    ::ExitProcess(0);
}
