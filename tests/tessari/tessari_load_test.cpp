// Tessari refuses a detector library it cannot use, with the three load
// errors, and gives no signal. The program is copied into a folder of its
// own so that only the library placed beside it (or none) can be found.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    const char* library;  // copied as libkordex.so beside the program; "" none
    const char* text;     // expected in the box
};

std::string RunProgram(const std::string& program, int* exitCode)
{
    const std::string command = "env KORDEX_HEADLESS=1 QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH= ASAN_OPTIONS=detect_leaks=0 '" +
                                program + "' -T11 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[1024];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    const int status = pclose(pipe);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

TEST(TessariLoad, RefusesWhatItCannotUse)
{
    const Case cases[] = {
        {"missing", "", "X-ray detector library's load error: libkordex.so\n"},
        {"export", FAKE_PARTIAL_LIBRARY, "X-ray detector library's load error: Can't find exported function \"KX_DialogH\""},
        {"charset", FAKE_UNICODE_LIBRARY, "X-ray detector library's load error: UNICODE/MBCS does not match"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::TempDir dir;
        const fs::path bin = fs::path(dir.Path()) / "bin";
        fs::create_directories(bin);
        fs::copy_file(TESSARI_PROGRAM, bin / "tessari");
        if (*c.library) fs::copy_file(c.library, bin / "libkordex.so");
        int exitCode = -1;
        const std::string output = RunProgram((bin / "tessari").string(), &exitCode);
        EXPECT_NE(output.find(c.text), std::string::npos) << output;
        EXPECT_EQ(exitCode, 1);
    }
}

}  // namespace
