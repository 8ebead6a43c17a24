// kordex-grab on the virtual sensor: the frame it writes, and what it does
// when the output cannot be written or the acquisition fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace {

using tool_test::Has;
using tool_test::ToolRun;
using tool_test::ToolRunner;

constexpr const char* kGrab = KORDEX_GRAB_PROGRAM;
constexpr std::uintmax_t kFrameBytes = 910 * 688 * 2;

// The names in dir other than the ones given.
std::vector<std::string> OtherFiles(const std::string& dir, const std::vector<std::string>& known)
{
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

TEST(KordexGrab, ReplacesTheOutputWithTheFrameAndSaysItIsSimulated)
{
    ToolRunner runner;
    ASSERT_TRUE(runner.Ok());
    const std::string frame = runner.Work().File("frame.raw");
    test_support::WriteText(frame, "an earlier frame");
    const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read;
    std::filesystem::permissions(frame, mode);
    const ToolRun run = runner.Run(kGrab, "frame.raw");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(frame), kFrameBytes);
    EXPECT_EQ(std::filesystem::status(frame).permissions(), mode) << "the replaced file's mode is kept";
    EXPECT_TRUE(Has(run.err, "Acquisition complete in")) << run.err;
    EXPECT_TRUE(Has(run.err, "kordex-grab: the frame comes from the virtual sensor: simulated, not a patient image"))
        << run.err;
    EXPECT_TRUE(Has(run.err, "frame.raw: 910 x 688 frame written")) << run.err;
    EXPECT_EQ(OtherFiles(runner.Work().Path(), {"kordex.ini", "frame.raw"}), std::vector<std::string>{})
        << "no temporary file is left";
}

// An output or a log that cannot be created is found before the sensor is
// armed; an output that cannot take the frame is a failure, never "frame
// written".
TEST(KordexGrab, AnOutputOrALogThatCannotBeWrittenFails)
{
    struct Case {
        const char* args;
        const char* error;
        bool armed;  // the acquisition ran before the failure showed
    };
    const Case cases[] = {
        {"missing/frame.raw", "kordex-grab: can't create missing/frame.raw: No such file or directory", false},
        {"plain.txt/frame.raw", "kordex-grab: can't create plain.txt/frame.raw: Not a directory", false},
        {"folder", "kordex-grab: can't create folder: Is a directory", false},
        {"--log missing frame.raw", "kordex-grab: can't open the log in missing: No such file or directory", false},
        {"--log plain.txt frame.raw", "kordex-grab: can't open the log in plain.txt: Not a directory", false},
        {"/dev/full", "kordex-grab: can't write /dev/full: No space left on device", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        if (std::string(c.args) == "/dev/full" && !std::filesystem::exists("/dev/full")) continue;
        ToolRunner runner;
        ASSERT_TRUE(runner.Ok());
        test_support::WriteText(runner.Work().File("plain.txt"), "");
        std::filesystem::create_directory(runner.Work().File("folder"));
        const ToolRun run = runner.Run(kGrab, c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Has(run.err, c.error)) << run.err;
        EXPECT_FALSE(Has(run.err, "frame written")) << run.err;
        EXPECT_EQ(Has(run.err, "connection OK"), c.armed) << run.err;
        EXPECT_EQ(OtherFiles(runner.Work().Path(), {"kordex.ini", "plain.txt", "folder"}), std::vector<std::string>{});
    }
}

TEST(KordexGrab, WritesItsLogIntoTheGivenDirectory)
{
    ToolRunner runner;
    ASSERT_TRUE(runner.Ok());
    std::filesystem::create_directory(runner.Work().File("logs"));
    const ToolRun run = runner.Run(kGrab, "--log logs frame.raw");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string log = test_support::ReadText(runner.Work().File("logs/Log/kordex-grab00.log"));
    EXPECT_TRUE(Has(log, "Acquisition complete in")) << log;
}

TEST(KordexGrab, AFailedAcquisitionLeavesTheOutputAsItWas)
{
    ToolRunner runner("Fault=missing\n");
    ASSERT_TRUE(runner.Ok());
    test_support::WriteText(runner.Work().File("frame.raw"), "an earlier frame");
    const ToolRun run = runner.Run(kGrab, "frame.raw");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "PID2001 no interface #0 (check connection)")) << run.err;
    EXPECT_EQ(test_support::ReadText(runner.Work().File("frame.raw")), "an earlier frame");
    EXPECT_EQ(OtherFiles(runner.Work().Path(), {"kordex.ini", "frame.raw"}), std::vector<std::string>{});
}

}  // namespace
