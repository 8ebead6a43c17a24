// System error texts, the tick count and run-time loading.
#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "platform/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>

namespace {

TEST(SystemErrorText, TextsAreShortAndEndInAVisibleCharacter)
{
    EXPECT_EQ(platform::SystemErrorText(0), "");
    for (const int code : {ENOENT, EACCES, EWOULDBLOCK, ENOSPC, 123456}) {
        SCOPED_TRACE(code);
        const std::string text = platform::SystemErrorText(code);
        ASSERT_FALSE(text.empty());
        EXPECT_LE(text.size(), 79u);
        EXPECT_GE(static_cast<unsigned char>(text.back()), '!');
    }
    EXPECT_EQ(platform::SystemErrorText(ENOENT), "No such file or directory");
}

TEST(TickCount, NeverGoesBack)
{
    std::uint64_t last = platform::TickCountMs();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = platform::TickCountMs();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(DynamicLibrary, LoadsALibraryAndFindsItsExports)
{
    platform::DynamicLibrary library;
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.Symbol("cos"), nullptr);

    std::string error = "stale";
    ASSERT_TRUE(library.Open("libm.so.6", &error)) << error;
    EXPECT_TRUE(error.empty());
    void* symbol = library.Symbol("cos");
    ASSERT_NE(symbol, nullptr);
    using Cosine = double (*)(double);
    EXPECT_DOUBLE_EQ(reinterpret_cast<Cosine>(symbol)(0.0), 1.0);
    EXPECT_EQ(library.Symbol("no_such_export_here"), nullptr);
    EXPECT_NE(platform::ModulePath(symbol).find("libm"), std::string::npos);
    EXPECT_EQ(platform::ModulePath(symbol).front(), '/');

    platform::DynamicLibrary moved(std::move(library));
    EXPECT_FALSE(library.IsOpen());
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_NE(moved.Symbol("cos"), nullptr);

    platform::DynamicLibrary assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(moved.IsOpen());
    EXPECT_NE(assigned.Symbol("sin"), nullptr);
    assigned.Close();
    EXPECT_FALSE(assigned.IsOpen());
    EXPECT_EQ(assigned.Symbol("cos"), nullptr);
}

TEST(DynamicLibrary, MissingFileFailsWithAText)
{
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.Open("libm.so.6"));
    std::string error;
    EXPECT_FALSE(library.Open("/nonexistent/libkordex.so", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("libkordex.so"), std::string::npos) << error;
    EXPECT_FALSE(library.IsOpen()) << "the previous library is unloaded first";
    EXPECT_FALSE(library.Open("libno_such_library_anywhere.so"));
}

}  // namespace
