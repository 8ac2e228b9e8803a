// The floor of the start-up benchmark: a GUI program that only initialises
// COM and creates the free-threaded MSXML document the launcher creates, then
// ends as the launcher's normal end does: ExitProcess, the document still held,
// COM not uninitialised. Built twice: plain, and with the launcher's manifest
// (common controls 6), to show what that costs.
// With a file name as its argument, it appends the performance counter as it
// stood once the document existed, and its peak working set:
//   floor qpc=<counter> peak=<bytes>
#include <windows.h>

#include <msxml2.h>
#include <psapi.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevInstance*/, LPSTR pszCmdLine,
                   int /*nShowCmd*/)
{
    ::CoInitialize(nullptr);
    IXMLDOMDocument* pifDocument = nullptr;
    ::CoCreateInstance(CLSID_DOMFreeThreadedDocument, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IXMLDOMDocument, reinterpret_cast<void**>(&pifDocument));
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);

    if (*pszCmdLine != '\0')
    {
        char szPath[MAX_PATH * 2] = "";
        const char* pszPath = *pszCmdLine == '"' ? pszCmdLine + 1 : pszCmdLine;
        lstrcpynA(szPath, pszPath, sizeof(szPath));
        char* pszQuote = std::strchr(szPath, '"');
        if (pszQuote != nullptr)
            *pszQuote = '\0';

        PROCESS_MEMORY_COUNTERS memory = {};
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
        const std::string line = "floor qpc=" + std::to_string(counter.QuadPart) +
                                 " peak=" + std::to_string(memory.PeakWorkingSetSize) + "\r\n";
        const HANDLE hFile = ::CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE)
        {
            DWORD cbWritten = 0;
            ::WriteFile(hFile, line.data(), static_cast<DWORD>(line.size()), &cbWritten, nullptr);
            ::CloseHandle(hFile);
        }
    }

    ::ExitProcess(pifDocument != nullptr ? 0 : 1);
}
