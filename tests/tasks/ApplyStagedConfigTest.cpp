// ApplyStagedConfig moving staged files in a scratch installation.
#include "ApplyStagedConfigClsid.h"
#include "TaskTestSupport.h"

namespace
{
using ApplyStagedConfig = CComTest;

// Plain or scrambled, the bytes travel as they are.
const std::string strNew("\x81\x00\r\nscrambled\xff", 14);
const std::string strOld = "<Config><Run/></Config>";
const wchar_t szToLive[] = L"Staging='{dir}\\update' Target='{dir}\\live\\Config.xml'";
} // namespace

TEST_F(ApplyStagedConfig, TakesOnlyTheExactStagedName)
{
    const struct
    {
        std::vector<std::wstring> staged; // in {dir}\update; the first is the one to take
        const wchar_t* pszAttributes;
        HRESULT hrRun;
        TaskInstruction eInstruction;
    } cases[] = {
        {{L"Config.xml"}, szToLive, S_OK, InstructionReload},
        {{}, szToLive, S_OK, InstructionContinue},
        {{L"Config.xml.new", L"Config.xml.tmp", L"~Config.xml"},
         szToLive,
         S_OK,
         InstructionContinue},
        {{L"Next.xml", L"Config.xml"},
         L"Staging='{name}\\update' File='Next.xml' Target='{name}/live/Config.xml'",
         S_OK,
         InstructionReload},
        {{L"Config.xml"},
         L"Staging='{dir}\\none' Target='{dir}\\live\\Config.xml'",
         S_OK,
         InstructionContinue},
        {{L"Config.xml"},
         L"Staging='{dir}\\update' Target='{dir}\\none\\Config.xml'",
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
         InstructionContinue},
        {{L"Config.xml"}, L"Target='{dir}\\live\\Config.xml'", E_INVALIDARG, InstructionContinue},
    };
    for (const auto& c : cases)
    {
        const CScratch scratch;
        scratch.Write(L"live\\Config.xml", strOld);
        for (const std::wstring& strStaged : c.staged)
            scratch.Write(L"update\\" + strStaged, strNew);
        const CAnswer answer = RunTask(CLSID_ApplyStagedConfigTask, Fill(c.pszAttributes, scratch));
        EXPECT_EQ(c.hrRun, answer.hrRun) << c.pszAttributes;
        EXPECT_EQ(c.eInstruction, answer.eInstruction) << c.pszAttributes;
        const bool fMoved = c.eInstruction == InstructionReload;
        EXPECT_EQ(fMoved ? strNew : strOld, scratch.Read(L"live\\Config.xml")) << c.pszAttributes;
        for (size_t i = 0; i < c.staged.size(); ++i)
            EXPECT_EQ(fMoved && i == 0 ? "<none>" : strNew, scratch.Read(L"update\\" + c.staged[i]))
                << c.pszAttributes << " " << i;
    }
}

// A reload frees unused libraries; a sample task built with mingw's static
// runtime stays, since each unload would leak part of that runtime.
TEST_F(ApplyStagedConfig, StaysLoadedWhenUnusedLibrariesAreFreed)
{
    RunTask(CLSID_ApplyStagedConfigTask, L"Staging='none'");
    CoFreeUnusedLibraries();
    EXPECT_NE(nullptr, GetModuleHandleW(L"ApplyStagedConfig.dll"));
}
