// CheckFiles in a scratch installation: quiet, and with its real message box.
#include "CheckFilesClsid.h"
#include "TaskTestSupport.h"

#include <thread>

namespace
{
using CheckFiles = CComTest;

struct CBox
{
    HWND hwnd = nullptr;
    wchar_t szCaption[64] = {};
    wchar_t szText[1024] = {};
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam)
{
    DWORD dwProcess = 0;
    wchar_t szClass[16] = {};
    GetWindowThreadProcessId(hwnd, &dwProcess);
    GetClassNameW(hwnd, szClass, ARRAYSIZE(szClass));
    if (dwProcess != GetCurrentProcessId() || lstrcmpW(szClass, L"#32770") != 0)
        return TRUE;
    reinterpret_cast<CBox*>(lParam)->hwnd = hwnd;
    return FALSE;
}
} // namespace

TEST_F(CheckFiles, ContinuesOnlyWhenAllExist)
{
    const CScratch scratch;
    scratch.Write(L"a.txt", "a");
    scratch.Write(L"sub\\b.dll", "b");
    const struct
    {
        const wchar_t* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
    } cases[] = {
        {L"Files='{name}\\a.txt' Quiet='yes'", S_OK, InstructionContinue},
        {L"Files=' {name}\\a.txt ;{dir}\\sub\\b.dll;; {dir}\\sub ' Quiet='Yes'", S_OK,
         InstructionContinue},
        {L"Files='{name}\\a.txt;{name}\\b.dll' Quiet='yes'", S_OK, InstructionStop},
        {L"Files=' ; ' Quiet='yes'", S_OK, InstructionContinue},
        {L"Files='{name}\\a.txt' Quiet='perhaps'", E_INVALIDARG, InstructionContinue},
    };
    for (const auto& c : cases)
    {
        const CAnswer answer = RunTask(CLSID_CheckFilesTask, Fill(c.pszAttributes, scratch));
        EXPECT_EQ(S_OK, answer.hrInit) << c.pszAttributes;
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.eInstruction) << c.pszAttributes;
    }
}

// The box is a real dialog (off-screen under Wine's null driver): another
// thread reads it and presses OK.
TEST_F(CheckFiles, NamesTheMissingFilesInABox)
{
    const CScratch scratch;
    scratch.Write(L"a.txt", "a");
    const struct
    {
        const wchar_t *pszFiles, *pszText;
    } cases[] = {
        {L"{name}\\gone.dll; {name}\\a.txt",
         L"The casino cannot start because a file it needs is missing:\n\n{dir}\\gone.dll\n"},
        {L"{name}\\gone.dll;{name}\\a.txt;{dir}\\gone",
         L"The casino cannot start because files it needs are missing:\n\n{dir}\\gone.dll\n"
         L"{dir}\\gone\n"},
    };
    for (const auto& c : cases)
    {
        CBox box;
        std::thread dismisser(
            [&box]
            {
                for (int iTry = 0; iTry < 1200 && !box.hwnd; ++iTry, Sleep(50))
                    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
                GetWindowTextW(box.hwnd, box.szCaption, ARRAYSIZE(box.szCaption));
                GetDlgItemTextW(box.hwnd, 0xFFFF, box.szText, ARRAYSIZE(box.szText));
                PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
            });
        const CAnswer answer = RunTask(CLSID_CheckFilesTask,
                                       Fill(L"Files='" + std::wstring(c.pszFiles) + L"'", scratch));
        dismisser.join();
        EXPECT_EQ(InstructionStop, answer.eInstruction);
        EXPECT_STREQ(L"Casino", box.szCaption);
        EXPECT_EQ(Fill(c.pszText, scratch) + L"\nPlease reinstall the casino.", box.szText);
    }
}
