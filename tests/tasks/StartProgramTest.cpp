// StartProgram starting task_child.exe from bin.
#include "StartProgramClsid.h"
#include "TaskTestSupport.h"

#include "DebugOutputCapture.h"

namespace
{
using StartProgram = CComTest;

// What the child wrote: "<current directory>|<command line>", or "<none>".
std::wstring ChildReport(const CScratch& scratch, const std::wstring& strFile, bool fWait)
{
    for (int iTry = 0; fWait && iTry < 1200 && scratch.Read(strFile) == "<none>"; ++iTry)
        Sleep(50);
    const std::string strBytes = scratch.Read(strFile);
    if (strBytes == "<none>")
        return L"<none>";
    return std::wstring(reinterpret_cast<const wchar_t*>(strBytes.data()), strBytes.size() / 2);
}
} // namespace

TEST_F(StartProgram, StartsWaitsAndAnswers)
{
    const CScratch scratch;
    const std::wstring strBin = GetBinPath(L"");
    const std::vector<std::pair<std::wstring, std::wstring>> more = {
        {L"{bin}", strBin.substr(0, strBin.size() - 1)},
        {L"{child}", L"\"" + strBin + L"task_child.exe\""},
        {L"{event}", scratch.m_strName + L"_release"}};
    HANDLE hRelease = CreateEventW(nullptr, TRUE, FALSE, Fill(L"{event}", scratch, more).c_str());
    // Row i writes {dir}\i.txt; a report of nullptr: nothing was started.
    const struct
    {
        const wchar_t* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
        const wchar_t* pszReport;
    } cases[] = {
        {L"Program='task_child.exe' Arguments='{dir}\\0.txt' Wait='yes'", S_OK, InstructionContinue,
         L"{bin}|{child} {dir}\\0.txt"},
        {L"Program='{name}\\..\\task_child.exe' Arguments='  \"{dir}\\1.txt\"  ' "
         L"WorkingDirectory='{dir}' Wait='YES' TimeoutSeconds='600' Then='stop'",
         S_OK, InstructionStop, L"{dir}|{child}   \"{dir}\\1.txt\"  "},
        // The child waits for the event, which is set only at the end.
        {L"Program='task_child.exe' Arguments='{dir}\\2.txt {event}' Then='continue'", S_OK,
         InstructionContinue, L"{bin}|{child} {dir}\\2.txt {event}"},
        {L"Program='task_child.exe' Arguments='{dir}\\3.txt {event}' Wait='yes' TimeoutSeconds='1'",
         HRESULT_FROM_WIN32(ERROR_TIMEOUT), InstructionContinue,
         L"{bin}|{child} {dir}\\3.txt {event}"},
        {L"Program='missing.exe'", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), InstructionContinue,
         nullptr},
        {L"Program='{name}\\none\\task_child.exe' Arguments='{dir}\\5.txt'",
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), InstructionContinue, nullptr},
        {L"Program='' Arguments='{dir}\\6.txt'", E_INVALIDARG, InstructionContinue, nullptr},
    };
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i)
    {
        const auto& c = cases[i];
        const CAnswer answer =
            RunTask(CLSID_StartProgramTask, Fill(c.pszAttributes, scratch, more));
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.eInstruction) << c.pszAttributes;
        EXPECT_EQ(c.pszReport ? Fill(c.pszReport, scratch, more) : L"<none>",
                  ChildReport(scratch, std::to_wstring(i) + L".txt", c.pszReport != nullptr))
            << c.pszAttributes;
    }
    SetEvent(hRelease);
    CloseHandle(hRelease);
}

// A mistyped element is not skipped silently: the trace says what is wrong.
TEST_F(StartProgram, TracesAFaultyAttribute)
{
    CDebugOutputCapture capture;
    EXPECT_EQ(E_INVALIDARG, RunTask(CLSID_StartProgramTask, L"Program='x' Then='halt'").hrRun);
    ASSERT_FALSE(capture.Records().empty());
    EXPECT_EQ("StartProgram: Then=\"halt\" is not one of: continue, stop\n", capture.Records()[0]);
}
