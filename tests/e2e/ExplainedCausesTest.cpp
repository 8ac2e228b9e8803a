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

    // show says so and ends with 1; unscramble writes the bytes all the same.
    inst.WriteConfig(cut);
    const CToolRun show = RunTool("ostrelin-config.exe", "show \"" + config + "\"");
    EXPECT_EQ(1u, show.exitCode);
    EXPECT_TRUE(ShowsInOrder(show.output, {cut, config + " does not parse: "}));
    inst.WriteConfig(ScrambleConfig(cut, "Config.xml"));
    const std::string out = inst.Root() + "\\plain.xml";
    const CToolRun unscramble =
        RunTool("ostrelin-config.exe", "unscramble \"" + config + "\" \"" + out + "\"");
    EXPECT_EQ(1u, unscramble.exitCode);
    EXPECT_TRUE(ShowsInOrder(unscramble.output, {"the unscrambled bytes do not parse: "}));
    EXPECT_EQ(cut, ReadBytes(WideFrom(out, CP_ACP)));

    // check says the parser's words, and what a scrambled file's damage looks
    // like; where with the launcher alone says its answer is for that start.
    const struct
    {
        std::string bytes;
        std::string arguments;
        std::string shown;
    } tools[] = {
        {cut, "check \"" + config + "\"", "(exit code 4): the file does not parse: \""},
        {ScrambleConfig("<Config><Run><T CLSID=\"{98E1\x7f#2A}\"/></Run></Config>", "Config.xml"),
         "check \"" + config + "\"",
         "not a CLSID: skipped\n    its text has characters no CLSID has: the scrambled file may "
         "be damaged, or scrambled by another tool\n"},
        {"<Config><Run/></Config>", "where \"" + inst.LauncherPath() + "\"",
         "note: this is the answer for a start without arguments; for the start a shortcut makes, "
         "give its whole target after \"where\"\n"},
    };
    for (const auto& row : tools)
    {
        inst.WriteConfig(row.bytes);
        const CToolRun run = RunTool("ostrelin-config.exe", row.arguments);
        EXPECT_TRUE(ShowsInOrder(run.output, {row.shown})) << run.output;
    }
}
