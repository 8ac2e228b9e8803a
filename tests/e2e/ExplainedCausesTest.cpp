// Causes said in words: a configuration that does not parse or cannot be
// read, in the explained run and in ostrelin-config.
#include "ConfigScramble.h"
#include "E2EPaths.h"
#include "Installation.h"
#include "TaskConfigText.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

TEST(ExplainedCauses, AConfigurationThatDoesNotParseOrCannotBeRead)
{
    CInstallation inst("causes");
    const std::string cut = "<Config><Run><Task CLSID=\"{98E1", config = inst.ConfigPath();
    const std::string shown = inst.BinFolder() + "/../\\bin\\Config.xml";
    const struct
    {
        const char* pszCase;
        std::string bytes;     // of Config.xml; "-": none
        std::string arguments; // the launcher's
        std::vector<std::string> records;
    } rows[] = {
        {"cut in the middle of an element",
         cut,
         "",
         {"Ostrelin: configuration " + shown + " (31 bytes) does not parse: ",
          "Ostrelin: the configuration " + shown +
              " was not run; its path is the one beside the launcher (no %ResourceRoot% on "
              "the command line)"}},
        {"the root names a folder that does not exist",
         "-",
         "%ResourceRoot%=\"" + inst.Root() + "\\missing\"",
         {"Ostrelin: the configuration " + inst.Root() + "\\missing\\bin\\Config.xml" +
          " was not run; its path is made of %ResourceRoot%=\"" + inst.Root() +
          "\\missing\" on the command line"}},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszCase);
        row.bytes == "-" ? inst.RemoveConfig() : inst.WriteConfig(row.bytes);
        const CSessionResult result = inst.Run(row.arguments, Explained());
        EXPECT_EQ(4u, result.exitCode);
        EXPECT_TRUE(ShowsInOrder(Joined(result.records), row.records));
    }

    // show and check say the parser's words; unscramble writes the bytes all
    // the same; check says what a scrambled file's damage looks like; where
    // with the launcher alone says its answer is for that start.
    const std::string out = inst.Root() + "\\plain.xml";
    const struct
    {
        std::string bytes;
        std::string arguments;
        DWORD exitCode;
        std::string shown;
    } tools[] = {
        {cut, "show \"" + config + "\"", 1, config + " does not parse: "},
        {ScrambleConfig(cut, "Config.xml"), "unscramble \"" + config + "\" \"" + out + "\"", 1,
         "the unscrambled bytes do not parse: "},
        {cut, "check \"" + config + "\"", 2, "(exit code 4): the file does not parse: \""},
        {ScrambleConfig("<Config><Run><T CLSID=\"{98E1\x7f#2A}\"/></Run></Config>", "Config.xml"),
         "check \"" + config + "\"", 0,
         "not a CLSID: skipped\n    its text has characters no CLSID has: the scrambled file may "
         "be damaged, or scrambled by another tool\n"},
        {"<Config><Run/></Config>", "where \"" + inst.LauncherPath() + "\"", 0,
         "note: this is the answer for a start without arguments; for the start a shortcut makes, "
         "give its whole target after \"where\"\n"},
    };
    for (const auto& row : tools)
    {
        inst.WriteConfig(row.bytes);
        const CToolRun run = RunTool("ostrelin-config.exe", row.arguments);
        EXPECT_EQ(row.exitCode, run.exitCode) << row.arguments;
        EXPECT_TRUE(ShowsInOrder(run.output, {row.shown})) << run.output;
    }
    EXPECT_EQ(cut, ReadBytes(WideFrom(out, CP_ACP)));
}
