// calpost-tool's input files: each must hold exactly W x H x 2 bytes, and
// the check comes before any frame is allocated, so a huge W x H given by
// mistake is a clear error, not gigabytes of memory. The tool runs under a
// memory limit far below the frame a 65536 x 65536 size would need.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tool_runner.h"

#if defined(__SANITIZE_ADDRESS__)
#define TOOL_TEST_SANITIZER "ASAN_OPTIONS"
#elif defined(__SANITIZE_THREAD__)
#define TOOL_TEST_SANITIZER "TSAN_OPTIONS"
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOOL_TEST_SANITIZER "ASAN_OPTIONS"
#elif __has_feature(thread_sanitizer)
#define TOOL_TEST_SANITIZER "TSAN_OPTIONS"
#endif
#endif

namespace {

using tool_test::Has;
using tool_test::ToolRun;
using tool_test::ToolRunner;

constexpr const char* kCalpost = CALPOST_TOOL_PROGRAM;

// A memory limit of 1 GiB for the tool. A sanitizer's runtime reserves far
// more address space than that, so there the largest allocation is limited
// instead (an allocation above it ends the tool with status 99).
std::string MemoryLimit()
{
#if defined(TOOL_TEST_SANITIZER)
    const char* given = std::getenv(TOOL_TEST_SANITIZER);
    const std::string options = std::string(given && *given ? std::string(given) + ":" : "") +
                                "max_allocation_size_mb=1024:allocator_may_return_null=0:exitcode=99";
    return std::string(TOOL_TEST_SANITIZER) + "='" + options + "'";
#else
    return "ulimit -v 1048576 &&";
#endif
}

TEST(CalpostTool, InputFilesAreCheckedAgainstTheFrameSizeBeforeAnythingIsAllocated)
{
    struct Case {
        const char* args;
        const char* error;
    };
    const Case cases[] = {
        {"postprc 65536 65536 image.raw out.raw", "size of image.raw (2400 instead 8589934592 = 65536 x 65536 x 2)"},
        {"postprc 40 31 image.raw out.raw", "size of image.raw (2400 instead 2480 = 40 x 31 x 2)"},
        {"bpmap 65536 65536 image.raw 3 1 1.0 m.raw", "size of image.raw"},
        {"bpmap1 65536 65536 image.raw image.raw 0.5 0.9 m.raw", "size of image.raw"},
        {"calibration 40 30 image.raw image.raw short.raw out.raw", "size of short.raw (2 instead 2400"},
        {"calibration 65536 65536 image.raw image.raw image.raw out.raw", "size of image.raw"},
        {"postprc 40 30 missing.raw out.raw", "can't open missing.raw (No such file or directory)"},
        {"postprc 40 30 . out.raw", "can't open . (Is a directory)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ToolRunner runner;
        ASSERT_TRUE(runner.Ok());
        test_support::WriteText(runner.Work().File("image.raw"), std::string(40 * 30 * 2, '\x10'));
        test_support::WriteText(runner.Work().File("short.raw"), "ab");
        const ToolRun run = runner.Run(kCalpost, c.args, MemoryLimit());
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(Has(run.err, std::string("calpost-tool: ") + c.error)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(runner.Work().File("out.raw")));
        EXPECT_FALSE(std::filesystem::exists(runner.Work().File("m.raw")));
    }
}

}  // namespace
