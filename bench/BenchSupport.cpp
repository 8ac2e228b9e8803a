#include "BenchSupport.h"

#include "ChildProcess.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace
{
const DWORD nLongestChildMs = 120000; // only against hangs

LONGLONG Frequency()
{
    static const LONGLONG nFrequency = []
    {
        LARGE_INTEGER frequency = {};
        ::QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }();
    return nFrequency;
}
} // namespace

double CounterSeconds(LONGLONG nCounter)
{
    return static_cast<double>(nCounter) / static_cast<double>(Frequency());
}

LONGLONG ReadCounter()
{
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double SecondsSince(LONGLONG nStart)
{
    return CounterSeconds(ReadCounter() - nStart);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t iMiddle = values.size() / 2;
    return values.size() % 2 ? values[iMiddle] : (values[iMiddle - 1] + values[iMiddle]) / 2;
}

double MedianSeconds(int cRuns, const std::function<void()>& f)
{
    std::vector<double> seconds;
    for (int iRun = 0; iRun < cRuns; ++iRun)
    {
        const LONGLONG nStart = ReadCounter();
        f();
        seconds.push_back(SecondsSince(nStart));
    }
    return Median(seconds);
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush())
        throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

unsigned long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void CopyOrThrow(const std::string& from, const std::string& to)
{
    if (!::CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}

CProcessRun RunProcess(const std::string& commandLine)
{
    CChildProcess child;
    CProcessRun run;
    run.nCreated = ReadCounter();
    if (!child.Start(commandLine))
        throw std::runtime_error("cannot start " + commandLine);
    const bool fEnded = child.WaitForExit(nLongestChildMs);
    run.seconds = SecondsSince(run.nCreated);
    if (!fEnded)
        child.Terminate(WAIT_TIMEOUT);
    run.exitCode = child.ExitCode();
    if (!fEnded)
        throw std::runtime_error("no end within two minutes: " + commandLine);
    return run;
}

void Print(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::vprintf(pszFormat, args);
    va_end(args);
    std::fflush(stdout);
}
