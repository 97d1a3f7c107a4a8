#include "common/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/standin_tools.h"
#include "tests/support/temp_folder.h"

namespace {

class ProcessRunnersTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InstallStandIn(folder_.path(), L"tool.exe")); }

    // Runs the stand-in with a script and collects its output lines.
    bool RunScript(const std::string& script, std::vector<std::string>& lines, DWORD& exitCode,
                   const std::wstring& workingFolder = L"") {
        EXPECT_TRUE(WriteStandInScript(folder_.path(), L"tool", L"run", script));
        exitCode = 1;
        return RunProcess(
            Command(),
            HiddenIn(workingFolder, [&](const std::string& line) { lines.push_back(line); }),
            exitCode);
    }

    std::wstring Command() const { return L"\"" + folder_.Child(L"tool.exe") + L"\" -run"; }

    TempFolder folder_;
};

TEST_F(ProcessRunnersTest, SplitsOutputIntoLines) {
    struct Case {
        const char* script;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"out a\nout b\n", {"a", "b"}},
        {"crlf windows\n", {"windows"}},        // one trailing CR is dropped
        {"out \nout x\n", {"", "x"}},           // empty lines are lines too
        {"tail no line end", {"no line end"}},  // the remainder after the last read
        {"tailcr kept", {"kept\r"}},            // ... keeps its CR
        {"err to stderr\nout to stdout\n", {"to stderr", "to stdout"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        DWORD exitCode = 1;
        ASSERT_TRUE(RunScript(c.script, lines, exitCode)) << c.script;
        EXPECT_EQ(lines, c.lines) << c.script;
        EXPECT_EQ(exitCode, 0u) << c.script;
    }
}

TEST_F(ProcessRunnersTest, ReadsOutputLargerThanThePipeWhileTheChildRuns) {
    // About 250 KiB written before the child exits: a runner that waited for
    // the exit first would never return.
    std::vector<std::string> lines;
    DWORD exitCode = 1;
    ASSERT_TRUE(RunScript("lines 20000 data/archive/entry-number-\nexit 4\n", lines, exitCode));
    ASSERT_EQ(lines.size(), 20000u);
    EXPECT_EQ(lines.front(), "data/archive/entry-number-1");
    EXPECT_EQ(lines.back(), "data/archive/entry-number-20000");
    EXPECT_EQ(exitCode, 4u);
}

TEST_F(ProcessRunnersTest, ReportExitCodesAndRunInTheWorkingFolder) {
    TempFolder work(L"-\u00E9 work");
    std::vector<std::string> lines;
    DWORD exitCode = 1;
    ASSERT_TRUE(RunScript("cwd\nexit 7\n", lines, exitCode, work.path()));
    EXPECT_EQ(exitCode, 7u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], WideToUtf8(work.path()));

    exitCode = 1;
    ASSERT_TRUE(RunProcess(Command(), HiddenIn(work.path()), exitCode));
    EXPECT_EQ(exitCode, 7u);
}

TEST_F(ProcessRunnersTest, ProgramThatCannotStartGivesTheSystemError) {
    const std::wstring missing = L"\"" + folder_.Child(L"no-such-tool.exe") + L"\" -x";
    DWORD exitCode = 1;
    EXPECT_FALSE(RunProcess(missing, HiddenIn(L""), exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    exitCode = 1;
    bool called = false;
    EXPECT_FALSE(
        RunProcess(missing, HiddenIn(L"", [&](const std::string&) { called = true; }), exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(called);
}

}  // namespace
