// The grayscope host program's command line: sizes, masks, --bpm and the
// refusals, each naming the argument at fault.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/grayscope/command_line.h"

using namespace grayscope_host;
using test_support::TempDir;

TEST(HostCommandLine, AcceptedLines)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string cal = dir.Path() + "/CAL";
    ASSERT_EQ(::mkdir(cal.c_str(), 0755), 0);
    struct Case {
        std::vector<std::string> args;
        Action action;
        int width, height;
        std::string mask;  // as the view opens it
        std::string bpm;
    };
    const Case cases[] = {
        {{}, Action::View, 0, 0, "", ""},
        {{"910x688"}, Action::View, 910, 688, "", ""},
        {{"64X32", "/data/$*.raw"}, Action::View, 64, 32, "/data/$*.raw", ""},
        {{"/data/*.slice"}, Action::View, 0, 0, "/data/*.slice", ""},
        {{"910x688", cal}, Action::View, 910, 688, cal + "/*.raw", ""},
        {{"--bpm", cal, "910x688"}, Action::View, 910, 688, cal + "/*.raw", cal + "/"},
        {{"910x688", "--bpm=" + cal + "/", "/frames/*.raw"}, Action::View, 910, 688, "/frames/*.raw", cal + "/"},
        {{"--", "910x688", "-odd/*.raw"}, Action::View, 910, 688, "-odd/*.raw", ""},
        {{"65535x1"}, Action::View, 65535, 1, "", ""},
        // Help and version come before every other check.
        {{"--bogus", "--help"}, Action::Help, 0, 0, "", ""},
        {{"0x0", "-h"}, Action::Help, 0, 0, "", ""},
        {{"--version", "--help"}, Action::Version, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        const Parsed p = ParseCommandLine(c.args);
        ASSERT_TRUE(p.ok) << line << ": " << p.error;
        EXPECT_EQ(p.options.action, c.action) << line;
        if (c.action != Action::View)
            continue;
        const ViewDescriptor v = ViewFor(p.options);
        EXPECT_EQ(v.modal, 1) << line;
        EXPECT_EQ(v.width, c.width) << line;
        EXPECT_EQ(v.height, c.height) << line;
        EXPECT_EQ(std::string(v.mask), c.mask) << line;
        EXPECT_EQ(p.options.bpmDirectory, c.bpm) << line;
        if (!c.bpm.empty()) {
            const BpmDescriptor b = BpmFor(p.options);
            EXPECT_EQ(std::string(b.directory), c.bpm) << line;
            EXPECT_EQ(b.width, c.width) << line;
            EXPECT_EQ(b.height, c.height) << line;
            EXPECT_EQ(b.cutLeft + b.cutTop + b.cutRight + b.cutBottom, 0) << line;
        }
    }
}

TEST(HostCommandLine, RefusedLinesNameTheArgument)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"-x"}, "unknown option -x"},
        {{"910x688", "a", "b"}, "unexpected argument b"},
        {{"910x68a"}, "invalid frame size 910x68a (WIDTHxHEIGHT, each 1..65535)"},
        {{"910x"}, "invalid frame size 910x (WIDTHxHEIGHT, each 1..65535)"},
        {{"0x688"}, "invalid frame size 0x688 (WIDTHxHEIGHT, each 1..65535)"},
        {{"99999999999x5"}, "invalid frame size 99999999999x5 (WIDTHxHEIGHT, each 1..65535)"},
        {{"65536x2"}, "invalid frame size 65536x2 (WIDTHxHEIGHT, each 1..65535)"},
        {{"910x-688"}, "invalid frame size 910x-688 (WIDTHxHEIGHT, each 1..65535)"},
        {{"910x688", "--bpm"}, "missing value for option --bpm"},
        {{"910x688", "--bpm="}, "missing value for option --bpm"},
        {{"--bpm", dir.Path()}, "option --bpm needs the frame size WIDTHxHEIGHT of its maps"},
        {{"910x688", "--bpm", dir.File("none")}, "option --bpm: no such directory " + dir.File("none")},
        {{"910x688", std::string(300, 'm')}, "mask longer than 255 characters"},
    };
    for (const Case& c : cases) {
        const Parsed p = ParseCommandLine(c.args);
        EXPECT_FALSE(p.ok) << c.error;
        EXPECT_EQ(p.error, c.error);
    }
}
