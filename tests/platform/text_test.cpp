// Text helpers: bounded copies, formatting, comparisons without regard to
// case, and format signatures.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(CopyTruncated, NeverWritesBeyondTheCapacity)
{
    const struct {
        std::size_t capacity;
        const char* text;
        const char* copied;
    } cases[] = {
        {1, "abc", ""},
        {4, "abc", "abc"},  // exact fit with its terminator
        {3, "abc", "ab"},
        {8, "abc", "abc"},
        {5, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.capacity << " \"" << c.text << "\"");
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        const std::size_t length = platform::CopyTruncated(buffer, c.capacity, c.text);
        EXPECT_EQ(length, std::strlen(c.copied));
        EXPECT_STREQ(buffer, c.copied);
        for (std::size_t i = c.capacity; i < sizeof buffer; ++i)
            EXPECT_EQ(buffer[i], '#') << "byte " << i << " written";
    }
    char untouched = '#';
    EXPECT_EQ(platform::CopyTruncated(&untouched, 0, "abc"), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(platform::CopyTruncated(nullptr, 8, "abc"), 0u);
}

TEST(TextHelpers, TruncateFormatTrimAndCompare)
{
    EXPECT_EQ(platform::Truncated("abcdef", 3), "abc");
    EXPECT_EQ(platform::Truncated("ab", 3), "ab");

    EXPECT_EQ(platform::Format("%s ver %d.%d.%d.%d", "Kordex", 1, 0, 0, 0), "Kordex ver 1.0.0.0");
    const std::string longText(5000, 'x');
    EXPECT_EQ(platform::Format("[%s]", longText.c_str()), "[" + longText + "]");
    EXPECT_EQ(platform::Format("%s", ""), "");

    EXPECT_EQ(platform::Trim(" \t value \r\n"), "value");
    EXPECT_EQ(platform::Trim(" \t\r\n"), "");

    EXPECT_TRUE(platform::EqualsNoCase("BPM.raw", "bpm.RAW"));
    EXPECT_FALSE(platform::EqualsNoCase("BPM.raw", "BPMM.raw"));
    EXPECT_TRUE(platform::LessNoCase("a.raw", "B.raw"));
    EXPECT_FALSE(platform::LessNoCase("B.raw", "a.raw"));
    EXPECT_TRUE(platform::LessNoCase("ab", "ABC"));
    EXPECT_FALSE(platform::LessNoCase("ABC", "abc"));
    EXPECT_FALSE(platform::LessNoCase("abc", "ABC"));
}

TEST(FormatSignature, ListsTheArgumentsAFormatConsumes)
{
    const struct {
        const char* format;
        const char* signature;
    } cases[] = {
        {"Aux IP can't load %s", "s"},
        {"plain text", ""},
        {"%d%%", "i"},
        {"100%% done", ""},
        {"%n", "!"},
        {"count%n", "!"},
        {"%5.2f", "f"},
        {"%*d", "*i"},
        {"%-*.*s|", "**s"},
        {"%lu", "m"},
        {"%llx", "M"},
        {"%zu %zd", "ML"},
        {"%hhd %hu", "iu"},
        {"%ld %lld %qd", "lLL"},
        {"%Lf %le %G %a", "Ffff"},
        {"%c%p", "cp"},
        {"%s ver %d.%d.%d.%d", "siiii"},
        {"size of %s (%d instead %d)", "sii"},
        {"%+08.3e", "f"},
        {"%", "!"},
        {"abc %5", "!"},
        {"%1$d", "!"},
        {"%ls", "!"},
        {"%hf", "!"},
        {"%y", "!"},
        {"%255s", "s"},  // field widths and precisions up to 255
        {"%.255f", "f"},
        {"%256s", "!"},  // and no further: a text must not write gigabytes
        {"%999999999s", "!"},
        {"%.256d", "!"},
        {"%1.99999999999999999999d", "!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::FormatSignature(c.format), c.signature) << c.format;
    }
}

}  // namespace

#include "platform/exact_math.h"

namespace {

TEST(ExactMathTest, NearAddsJustUnderAHalfAndTruncatesTowardZero)
{
    struct Case {
        double x;
        int expected;
    };
    const Case cases[] = {{0.0, 0},     {0.5, 0},      {0.50001, 1},   {2.5, 2},     {2.50002, 3},
                          {-300.0, -299}, {-1000.0, -999}, {-0.6, 0},  {-1.6, -1},   {4095.9, 4096}};
    for (const Case& c : cases) EXPECT_EQ(platform::Near(c.x), c.expected) << c.x;
    EXPECT_EQ(platform::Near64(5e9), 5'000'000'000LL);
}

TEST(ExactMathTest, WrapAndDivision)
{
    EXPECT_EQ(platform::Wrap16(32768), -32768);
    EXPECT_EQ(platform::Wrap16(65535), -1);
    EXPECT_EQ(platform::Wrap16(-1), -1);
    EXPECT_EQ(platform::Wrap16(70000), 70000 - 65536);
    EXPECT_EQ(platform::TruncDiv(-7, 2), -3);
    EXPECT_EQ(platform::ClampInt(64, 1, 31), 31);
}

}  // namespace
