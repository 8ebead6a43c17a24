// Tessari's banner on the offscreen platform, over the scripted library:
// its opening, cancel by Escape, the double-click question, and dragging.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "platform/message_box.h"
#include "scripted_kordex.h"
#include "window/capture_window.h"

namespace tessari {
namespace {

using scripted::g;

class CaptureWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g = scripted::Script{};
        g.waitForShot = true;
        setup.api = &api;
        setup.request.frameWidth = 4;
        setup.request.frameHeight = 2;
        setup.request.cutWidth = 2;
        setup.request.cutHeight = 4;
        setup.frame = frame;
        setup.cut = cut;
        setup.outputs = &outputs;
        setup.boxTitle = "Test";
    }
    void TearDown() override { platform::SetMessageBoxHandler(nullptr); }

    KordexApi api = scripted::ScriptedApi();
    std::int16_t frame[8] = {};
    std::int16_t cut[8] = {};
    scripted::Outputs outputs;
    CaptureWindowSetup setup;
};

TEST_F(CaptureWindowTest, OpensAtTheTopLeftAndEndsWith1)
{
    g.waitForShot = false;
    CaptureWindow window(setup);
    EXPECT_EQ(window.windowTitle(), "Radiography frame 4x2");
    EXPECT_EQ(window.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    EXPECT_GT(window.width(), 200);
    EXPECT_GT(window.height(), 64);
    EXPECT_EQ(RunCaptureWindow(window), 1);
    EXPECT_EQ(window.windowTitle(), "Radiography image 2x4");
    EXPECT_EQ(outputs.written, std::vector<std::string>{"image"});
    EXPECT_FALSE(window.grab().isNull());
}

TEST_F(CaptureWindowTest, EscapeCancelsTheWaitForTheShot)
{
    CaptureWindow window(setup);
    QTimer::singleShot(100, &window, [&window] {
        EXPECT_EQ(window.Stages().State(), DisplayState::Waiting);
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    EXPECT_EQ(RunCaptureWindow(window), 2);
    EXPECT_TRUE(window.Stages().Cancelled());
    EXPECT_EQ(window.Stages().ErrorText(), "Abort acquisition");
    EXPECT_EQ(g.calls.back(), "close acquisition");
}

TEST_F(CaptureWindowTest, DoubleClickAsksBeforeCancelling)
{
    std::vector<std::string> questions;
    platform::BoxAnswer answer = platform::BoxAnswer::No;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        questions.push_back(r.text);
        EXPECT_EQ(r.buttons, platform::BoxButtons::YesNo);
        EXPECT_EQ(r.defaultAnswer, platform::BoxAnswer::No);
        return answer;
    });
    CaptureWindow window(setup);
    QTimer::singleShot(100, &window, [&] {
        QTest::mouseDClick(&window, Qt::LeftButton);
        EXPECT_FALSE(window.Stages().Cancelled());  // answered No
        answer = platform::BoxAnswer::Yes;
        QTest::mouseDClick(&window, Qt::LeftButton);
    });
    EXPECT_EQ(RunCaptureWindow(window), 2);
    EXPECT_EQ(questions, (std::vector<std::string>{"Do you want to cancel?", "Do you want to cancel?"}));
    EXPECT_TRUE(window.Stages().Cancelled());
}

TEST_F(CaptureWindowTest, TheRunWaitsWhileTheQuestionIsOpen)
{
    // The question stays open for a while (its own event loop runs); the
    // run, which needs no shot here, must neither finish behind it nor be
    // lost: Yes cancels, No lets it end as it would have.
    for (const auto answer : {platform::BoxAnswer::Yes, platform::BoxAnswer::No}) {
        SCOPED_TRACE(answer == platform::BoxAnswer::Yes ? "Yes" : "No");
        g = scripted::Script{};
        outputs.written.clear();
        platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest&) {
            QTest::qWait(300);
            return answer;
        });
        CaptureWindow window(setup);
        QTimer::singleShot(0, &window, [&] { QTest::mouseDClick(&window, Qt::LeftButton); });
        const bool yes = answer == platform::BoxAnswer::Yes;
        EXPECT_EQ(RunCaptureWindow(window), yes ? 2 : 1);
        EXPECT_EQ(window.Stages().Cancelled(), yes);
        EXPECT_EQ(outputs.written, yes ? std::vector<std::string>{} : std::vector<std::string>{"image"});
    }
}

TEST_F(CaptureWindowTest, LeftButtonDragsTheWindow)
{
    CaptureWindow window(setup);
    QTimer::singleShot(100, &window, [&window] {
        const QPoint before = window.pos();
        QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(10, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), window.mapToGlobal(QPointF(40, 30)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &move);
        QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(40, 30));
        EXPECT_EQ(window.pos(), before + QPoint(30, 20));
        window.reject();
    });
    EXPECT_EQ(RunCaptureWindow(window), 2);
}

}  // namespace
}  // namespace tessari

// The application lives for the whole test program, and ends before the
// program's static objects do.
int main(int argc, char** argv)
{
    // No test waits for a person: no screen, and boxes answer themselves.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KORDEX_HEADLESS", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
