// Message boxes: an installed handler answers, without one the box is logged
// and takes its default answer.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::BoxAnswer;
using platform::BoxButtons;
using platform::BoxIcon;
using platform::MessageBoxRequest;

// Restores the handler, the log sink and the display variables after a test.
class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        platform::SetMessageBoxHandler(nullptr);
    }
    void TearDown() override
    {
        platform::SetMessageBoxHandler(nullptr);
        platform::SetMessageBoxLogSink(nullptr);
        for (std::size_t i = 0; i < std::size(kVariables); ++i)
            Restore(kVariables[i], saved_[i]);
    }
    static void Restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

    static constexpr const char* kVariables[] = {"KORDEX_HEADLESS", "DISPLAY", "WAYLAND_DISPLAY"};
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(MessageBoxTest, HandlerGetsTheRequestAndItsAnswerIsReturned)
{
    std::vector<MessageBoxRequest> shown;
    platform::SetMessageBoxHandler([&shown](const MessageBoxRequest& request) {
        shown.push_back(request);
        return BoxAnswer::No;
    });
    std::vector<std::string> logged;
    platform::SetMessageBoxLogSink([&logged](const std::string& line) { logged.push_back(line); });

    int parent = 0;
    MessageBoxRequest request;
    request.title = "Kordex";
    request.text = "Replace the calibration?";
    request.icon = BoxIcon::Question;
    request.buttons = BoxButtons::YesNoCancel;
    request.defaultAnswer = BoxAnswer::Yes;
    request.parent = &parent;
    EXPECT_EQ(platform::ShowMessageBox(request), BoxAnswer::No);

    platform::ShowErrorBox("Kordex", "can't open CAL/dark.raw");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].title, "Kordex");
    EXPECT_EQ(shown[0].text, "Replace the calibration?");
    EXPECT_EQ(shown[0].icon, BoxIcon::Question);
    EXPECT_EQ(shown[0].buttons, BoxButtons::YesNoCancel);
    EXPECT_EQ(shown[0].defaultAnswer, BoxAnswer::Yes);
    EXPECT_EQ(shown[0].parent, &parent);
    EXPECT_EQ(shown[1].text, "can't open CAL/dark.raw");
    EXPECT_EQ(shown[1].icon, BoxIcon::Error);
    EXPECT_EQ(shown[1].buttons, BoxButtons::Ok);
    EXPECT_TRUE(logged.empty()) << "a box that was shown is not logged";

    // Installing another handler hands back this one.
    const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler(nullptr);
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(request), BoxAnswer::No);
}

TEST_F(MessageBoxTest, WithoutHandlerTheDefaultAnswersAndTheTextIsLogged)
{
    std::vector<std::string> logged;
    platform::SetMessageBoxLogSink([&logged](const std::string& line) { logged.push_back(line); });

    for (const BoxAnswer answer : {BoxAnswer::Ok, BoxAnswer::Cancel, BoxAnswer::Yes, BoxAnswer::No}) {
        MessageBoxRequest request;
        request.title = "Tessari";
        request.text = "Overwrite?";
        request.buttons = BoxButtons::YesNoCancel;
        request.defaultAnswer = answer;
        EXPECT_EQ(platform::ShowMessageBox(request), answer);
    }
    platform::ShowErrorBox("Kordex", "size of CAL/BPM.raw (1 instead 2)");
    platform::ShowErrorBox("Kordex", "ERR: already in the log", nullptr, true);
    ASSERT_EQ(logged.size(), 5u) << "a text its caller logged is not logged twice";
    EXPECT_EQ(logged[0], "Tessari: Overwrite?");
    EXPECT_EQ(logged[4], "Kordex: size of CAL/BPM.raw (1 instead 2)");
}

TEST_F(MessageBoxTest, HeadlessWithoutDisplayOrWhenAsked)
{
    const struct {
        const char* headless;  // nullptr: unset
        const char* display;
        const char* wayland;
        bool expected;
    } cases[] = {
        {"1", ":0", nullptr, true},
        {nullptr, ":0", nullptr, false},
        {"0", nullptr, "wayland-0", false},
        {nullptr, nullptr, nullptr, true},
        {nullptr, "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.headless ? c.headless : "-") << " " << (c.display ? c.display : "-")
                                        << " " << (c.wayland ? c.wayland : "-"));
        Restore("KORDEX_HEADLESS", c.headless ? std::optional<std::string>(c.headless) : std::nullopt);
        Restore("DISPLAY", c.display ? std::optional<std::string>(c.display) : std::nullopt);
        Restore("WAYLAND_DISPLAY", c.wayland ? std::optional<std::string>(c.wayland) : std::nullopt);
        EXPECT_EQ(platform::IsHeadless(), c.expected);
    }
}

}  // namespace
