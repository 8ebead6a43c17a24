// What every tool does with its command line, whatever the tool: --help and
// --version are answered before anything else, and a wrong argument is named
// on standard error with the usage text and exit status 2, and nothing is
// done.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tool_runner.h"

namespace {

using tool_test::Has;
using tool_test::ToolRun;
using tool_test::ToolRunner;

constexpr const char* kGrab = KORDEX_GRAB_PROGRAM;
constexpr const char* kCal = KORDEX_CAL_PROGRAM;
constexpr const char* kCalpost = CALPOST_TOOL_PROGRAM;

std::string NameOf(const char* program)
{
    return std::filesystem::path(program).filename().string();
}

TEST(ToolCommandLine, HelpAndVersionComeFirst)
{
    struct Case {
        const char* program;
        const char* args;
        bool help;  // else version
    };
    // The arguments around the switch would each do work (or fail) on
    // their own: log into a new folder, record from a sensor that is
    // missing, read a file that is not there.
    const Case cases[] = {
        {kGrab, "--help", true},
        {kGrab, "--version", false},
        {kGrab, "--log logs --bright frame.raw --help", true},
        {kGrab, "-h", true},
        {kCal, "--help", true},
        {kCal, "--version", false},
        {kCal, "dark --average 2 --version", false},
        {kCal, "points -h", true},
        {kCalpost, "--help", true},
        {kCalpost, "--version", false},
        {kCalpost, "postprc 40 30 missing.raw out.raw --help", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NameOf(c.program) + " " + c.args);
        ToolRunner runner("Fault=missing\n");
        ASSERT_TRUE(runner.Ok());
        const ToolRun run = runner.Run(c.program, c.args);
        EXPECT_EQ(run.status, 0);
        if (c.help) {
            EXPECT_TRUE(run.out.starts_with("usage: " + NameOf(c.program))) << run.out;
            EXPECT_TRUE(Has(run.out, "exit status")) << run.out;
        } else {
            EXPECT_EQ(run.out, NameOf(c.program) + " " + KORDEX_TOOLS_VERSION + "\n");
        }
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(std::filesystem::exists(runner.Work().File("logs"))) << "the log was opened";
        EXPECT_FALSE(std::filesystem::exists(runner.Home())) << "the library did some work";
    }
}

TEST(ToolCommandLine, AWrongArgumentIsNamedAndNothingIsDone)
{
    struct Case {
        const char* program;
        const char* args;
        const char* named;  // part of the error line
    };
    const Case cases[] = {
        {kGrab, "--vreset abc frame.raw", "--vreset: \"abc\" is not a whole number from 0 to 511"},
        {kGrab, "--vreset 12x frame.raw", "\"12x\""},
        {kGrab, "--vreset 512 frame.raw", "\"512\""},
        {kGrab, "--vreset -1 frame.raw", "\"-1\""},
        {kGrab, "--vreset 99999999999999999999 frame.raw", "\"99999999999999999999\""},
        {kGrab, "--vreset '' frame.raw", "\"\""},
        {kGrab, "frame.raw --vreset", "--vreset needs a number"},
        {kGrab, "frame.raw --log", "--log needs a directory"},
        {kGrab, "--frobnicate frame.raw", "unknown option \"--frobnicate\""},
        {kGrab, "frame.raw other.raw", "\"other.raw\" is one too many"},
        {kGrab, "", "no output file given"},
        {kCal, "", "no command given"},
        {kCal, "calibrate", "unknown command \"calibrate\""},
        {kCal, "bright --skip", "--skip needs a number"},
        {kCal, "bright --skip abc", "--skip: \"abc\" is not a whole number from 0 to 1000"},
        {kCal, "dark --average 0", "--average: \"0\" is not a whole number from 1 to 1000"},
        {kCal, "dark --average 2.5", "\"2.5\""},
        {kCal, "points --tolerance 5x", "--tolerance: \"5x\""},
        {kCal, "summary --gamut 99", "--gamut: \"99\" is not a whole number from 100 to 32767"},
        {kCal, "bright --frames 3", "unknown option \"--frames\" for bright"},
        {kCal, "points --no-dark", "unknown option \"--no-dark\" for points"},
        {kCal, "check now", "unexpected argument \"now\" for check"},
        {kCal, "bpm --no-dark --no-bright", "--no-dark and --no-bright together"},
        {kCalpost, "", "no command given"},
        {kCalpost, "frobnicate 40 30", "unknown command \"frobnicate\""},
        {kCalpost, "bpmap", "bpmap needs a width and a height"},
        {kCalpost, "bpmap abc 30 image.raw 3 1 1.0 m.raw", "width \"abc\" is not a whole number from 1 to 65536"},
        {kCalpost, "bpmap 40 0 image.raw 3 1 1.0 m.raw", "height \"0\""},
        {kCalpost, "bpmap 40 65537 image.raw 3 1 1.0 m.raw", "height \"65537\""},
        {kCalpost, "bpmap 40 30 image.raw 3 one 1.0 m.raw", "percentage \"one\" is not a number"},
        {kCalpost, "bpmap1 40 30 dark.raw bright.raw 0.5 9x m.raw", "high \"9x\" is not a number"},
        {kCalpost, "postprc 40 30 image.raw out.raw NOSUCHKEY=1", "unknown key \"NOSUCHKEY\""},
        {kCalpost, "postprc 40 30 image.raw out.raw MRL", "expected KEY=VALUE, got \"MRL\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NameOf(c.program) + " " + c.args);
        ToolRunner runner;
        ASSERT_TRUE(runner.Ok());
        const ToolRun run = runner.Run(c.program, c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.starts_with(NameOf(c.program) + ": ")) << run.err;
        EXPECT_TRUE(Has(run.err, c.named)) << run.err;
        EXPECT_TRUE(Has(run.err, "usage: " + NameOf(c.program))) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(Has(run.err, "connection OK")) << "the sensor was touched";
        EXPECT_FALSE(std::filesystem::exists(runner.Work().File("frame.raw")));
    }
}

}  // namespace
