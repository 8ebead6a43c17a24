// The get-image windows on the offscreen platform, run through the exports
// with the virtual sensor. The library makes its own QApplication for each
// call (the test program has none), as it does for a host without one.
// Error boxes are recorded by a message-box hook, so none ever blocks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/library.h"
#include "kordex.h"
#include "platform/message_box.h"
#include "support/temp_dir.h"
#include "ui/banner_window.h"
#include "ui/get_image_window.h"
#include "ui/qt_application.h"

namespace kordex::ui {
namespace {

using test_support::TempDir;
using test_support::WriteText;

constexpr int W = 910, H = 688;

// One settings file for the whole program: the library reads [Settings] once,
// the virtual sensor rereads [Virtual Sensor] at every connect.
class UiEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.Ok());
        setenv("KORDEX_SENSOR_LINK", "virtual", 1);
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        Sensor("");
        setenv("KORDEX_INI", Ini().c_str(), 1);
        // The message table writes its missing keys into the file once after
        // start-up; wait for it, so it never writes over a test's settings.
        Lib().messages.Text(0);
    }
    std::string Ini() const { return dir.File("kordex.ini"); }
    // Rewrites the settings with these [Virtual Sensor] lines first.
    void Sensor(const std::string& lines)
    {
        WriteText(Ini(), "[Settings]\nHomeDir=" + dir.File("home/") +
                             "\nSensorLink=virtual\n[Virtual Sensor]\n" + lines +
                             "\nShotDelayMs=0\nStreamMBps=400\n");
    }
    TempDir dir;
};

UiEnvironment* g_env = static_cast<UiEnvironment*>(testing::AddGlobalTestEnvironment(new UiEnvironment));

// What reached the caller's callback, and an action to run on a report.
struct Caller {
    static std::int32_t Callback(void* record)
    {
        auto* s = static_cast<AcqStatus*>(record);
        auto* self = static_cast<Caller*>(s->context);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->texts.emplace_back(s->text);
        if (self->onReport) self->onReport(*s);
        return 0;
    }
    bool Saw(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& t : texts)
            if (t.find(text) != std::string::npos) return true;
        return false;
    }
    std::mutex mutex;
    std::vector<std::string> texts;
    std::function<void(const AcqStatus&)> onReport;
};

// Runs fn in the window's thread, from any thread.
void InWindowThread(std::function<void()> fn)
{
    QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
}

template <typename T>
T* RunningWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = dynamic_cast<T*>(w); window != nullptr && window->isVisible()) return window;
    return nullptr;
}

class GetImageWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        KX_Set_Acquisition(0, nullptr, 0, nullptr, nullptr);
        KX_Set_Calibration(0, nullptr, nullptr, nullptr, nullptr);
        KX_Set_ImgProcess(0, nullptr, 0, nullptr, nullptr);
        g_env->Sensor("");
        frame_.assign(static_cast<std::size_t>(W) * H, 0);
        previous_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
            std::lock_guard<std::mutex> lock(boxMutex_);
            boxes_.push_back(r);
            return boxAnswer_;
        });
    }
    void TearDown() override
    {
        GetImageWindow::SetEndObserver(nullptr);
        platform::SetMessageBoxHandler(previous_);
    }
    std::vector<platform::MessageBoxRequest> Boxes()
    {
        std::lock_guard<std::mutex> lock(boxMutex_);
        return boxes_;
    }

    std::vector<std::int16_t> frame_;
    Caller caller_;
    platform::BoxAnswer boxAnswer_ = platform::BoxAnswer::Ok;
    std::mutex boxMutex_;
    std::vector<platform::MessageBoxRequest> boxes_;
    platform::MessageBoxHandler previous_;
};

TEST_F(GetImageWindowTest, AllBuffersNullEndAtOnceWithOne)
{
    EXPECT_EQ(KX_GetImage(nullptr), 1);
    EXPECT_EQ(KX_GetImageA(nullptr, 0, 0), 1);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GetImageWindowTest, CancelWithoutWindowReturnsZero)
{
    EXPECT_EQ(KX_GetImageCancel(), 0);
    EXPECT_EQ(KX_GetImageCancel(), 0);
}

TEST_F(GetImageWindowTest, WidthZeroGivesTheNormalDialogAtXY)
{
    bool seen = false;
    GetImageWindow::SetEndObserver([&](GetImageWindow& w) {
        seen = true;
        EXPECT_FALSE(w.Embedded());
        EXPECT_EQ(w.pos(), QPoint(30, 40));
        ASSERT_NE(w.CancelButton(), nullptr);
        EXPECT_TRUE(w.CancelButton()->isVisible());
        EXPECT_EQ(w.CancelButton()->text(), "Cancel");
        EXPECT_EQ(w.ValueLabel(0)->text(), "3% Min");
        EXPECT_EQ(w.ValueLabel(1)->text(), "3% Max");
        EXPECT_EQ(w.ValueLabel(2)->text(), "Rows");
    });
    EXPECT_EQ(KX_GetImageSP(nullptr, 30, 40, 0, 200), 1);
    EXPECT_TRUE(seen);
}

TEST_F(GetImageWindowTest, FullRectangleEmbedsTheWindow)
{
    bool seen = false;
    GetImageWindow::SetEndObserver([&](GetImageWindow& w) {
        seen = true;
        EXPECT_TRUE(w.Embedded());
        EXPECT_EQ(w.geometry(), QRect(10, 20, 300, 200));
        EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(w.CancelButton(), nullptr);
        EXPECT_EQ(w.PreviewArea()->size(), QSize(300, 200));
    });
    EXPECT_EQ(KX_GetImageSP(nullptr, 10, 20, 300, 200), 1);
    EXPECT_TRUE(seen);
}

TEST_F(GetImageWindowTest, OnlyCalibrationShowsItsInputAndProgress)
{
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) frame_[static_cast<std::size_t>(y) * W + x] = static_cast<std::int16_t>(x + y);
    KX_Set_Calibration(0, frame_.data(), nullptr, nullptr, nullptr);
    bool seen = false;
    GetImageWindow::SetEndObserver([&](GetImageWindow& w) {
        seen = true;
        EXPECT_GT(w.PreviewDraws(), 0);
        EXPECT_EQ(w.Preview().Count(), static_cast<std::uint64_t>(w.Preview().Width()) * w.Preview().Height());
        EXPECT_EQ(w.Preview().Lowest(), 0);
        EXPECT_GT(w.Preview().Highest(), 1500);
        EXPECT_TRUE(w.ProgressBar()->isVisible());
        EXPECT_FALSE(w.ValueBox(0)->isVisible());
        ASSERT_FALSE(w.TitlesShown().isEmpty());
        EXPECT_TRUE(w.TitlesShown().front().startsWith("Calibration"));
        // The ramp runs from corner to corner of the frame, so two opposite
        // corners of the preview lie near the two ends of the grey scale.
        const QImage picture = w.PreviewPicture();
        const int a = qGray(picture.pixel(0, 0));
        const int b = qGray(picture.pixel(picture.width() - 1, picture.height() - 1));
        EXPECT_GT(std::abs(a - b), 200) << a << " " << b;
    });
    EXPECT_EQ(KX_GetImage(nullptr), 1);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GetImageWindowTest, DarkFrameIsDrawnLineByLine)
{
    KX_Set_Acquisition(0, frame_.data(), 0, &Caller::Callback, &caller_);
    bool seen = false;
    GetImageWindow::SetEndObserver([&](GetImageWindow& w) {
        seen = true;
        EXPECT_GT(w.PreviewDraws(), 3) << "pages arrive one by one";
        EXPECT_EQ(w.Preview().Count(), static_cast<std::uint64_t>(w.Preview().Width()) * w.Preview().Height());
        EXPECT_TRUE(w.TitlesShown().contains("Acquiring dark frame"));
        EXPECT_TRUE(w.TitlesShown().contains("Acquiring dark frame 100%"));
        EXPECT_EQ(w.ValueBox(0)->text().toInt(), w.Preview().Lowest());
        EXPECT_EQ(w.ValueBox(2)->text(), "") << "the Rows box stays empty";
    });
    EXPECT_EQ(KX_GetImage(nullptr), 1);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(caller_.Saw("Acquisition complete")) << "the caller's callback still runs";
}

TEST_F(GetImageWindowTest, BannerRunsTheThreeStages)
{
    std::vector<std::int16_t> cut(static_cast<std::size_t>(W) * H, 0);
    KX_Set_Acquisition(0, frame_.data(), 0, &Caller::Callback, &caller_);
    KX_Set_Calibration(0, frame_.data(), cut.data(), nullptr, nullptr);
    KX_Set_ImgProcess(0, cut.data(), 1, nullptr, nullptr);
    EXPECT_EQ(KX_GetImageA(nullptr, 0, 0), 1);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_NE(std::count(cut.begin(), cut.end(), 0), static_cast<long>(cut.size())) << "the cut image was filled";
    EXPECT_FALSE(caller_.Saw("Acquisition closed")) << "the banner stops the caller's callbacks once the frame is in";
}

TEST_F(GetImageWindowTest, CancelBeforeTheShotReturnsTwoWithoutBox)
{
    g_env->Sensor("ShotDelayMs=60000");
    std::atomic<int> posted{-1};
    caller_.onReport = [&](const AcqStatus& s) {
        if (s.event == KX_EVENT_PROGRESS && s.progress == 0) posted = KX_GetImageCancel();
    };
    KX_Set_Acquisition(1, frame_.data(), 0, &Caller::Callback, &caller_);
    EXPECT_EQ(KX_GetImage(nullptr), 2);
    EXPECT_EQ(posted.load(), 1);
    EXPECT_TRUE(caller_.Saw("Abort acquisition"));
    EXPECT_TRUE(Boxes().empty());

    posted = -1;
    EXPECT_EQ(KX_GetImageA(nullptr, 50, 60), 2);
    EXPECT_EQ(posted.load(), 1);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GetImageWindowTest, EscapeCancelsThePreview)
{
    g_env->Sensor("ShotDelayMs=60000");
    caller_.onReport = [&](const AcqStatus& s) {
        if (s.event == KX_EVENT_PROGRESS && s.progress == 0)
            InWindowThread([] {
                if (auto* w = RunningWindow<GetImageWindow>()) QTest::keyClick(w, Qt::Key_Escape);
            });
    };
    KX_Set_Acquisition(1, frame_.data(), 0, &Caller::Callback, &caller_);
    EXPECT_EQ(KX_GetImage(nullptr), 2);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GetImageWindowTest, OnlyOneWindowRunsAtATime)
{
    g_env->Sensor("ShotDelayMs=60000");
    std::atomic<int> nested{0}, otherThread{0};
    caller_.onReport = [&](const AcqStatus& s) {
        if (s.event != KX_EVENT_PROGRESS || s.progress != 0) return;
        otherThread = KX_GetImageA(nullptr, 0, 0);  // the read-out thread has no QApplication of its own
        InWindowThread([&] {
            nested = KX_GetImageA(nullptr, 0, 0);
            KX_GetImageCancel();
        });
    };
    KX_Set_Acquisition(1, frame_.data(), 0, &Caller::Callback, &caller_);
    EXPECT_EQ(KX_GetImage(nullptr), 2);
    EXPECT_EQ(nested.load(), 2);
    EXPECT_EQ(otherThread.load(), 2);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GetImageWindowTest, DeviceAbsentShowsMessage102)
{
    g_env->Sensor("Fault=missing");
    KX_Set_Acquisition(0, frame_.data(), 0, nullptr, nullptr);
    KX_Set_Calibration(0, frame_.data(), nullptr, nullptr, nullptr);
    for (int banner = 0; banner < 2; ++banner) {
        boxes_.clear();
        EXPECT_EQ(banner ? KX_GetImageA(nullptr, 0, 0) : KX_GetImage(nullptr), 2);
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "IntraOral Detector");
        EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Error);
        EXPECT_NE(boxes[0].text.find("PID2001 no interface #"), std::string::npos) << boxes[0].text;
        EXPECT_NE(boxes[0].text.find("(check connection)"), std::string::npos) << boxes[0].text;
    }
}

TEST_F(GetImageWindowTest, BannerDoubleClickAsksAndCancelsOnYes)
{
    g_env->Sensor("ShotDelayMs=60000");
    boxAnswer_ = platform::BoxAnswer::Yes;
    caller_.onReport = [&](const AcqStatus& s) {
        if (s.event == KX_EVENT_PROGRESS && s.progress == 0)
            InWindowThread([] {
                if (auto* w = RunningWindow<BannerWindow>()) QTest::mouseDClick(w, Qt::LeftButton);
            });
    };
    KX_Set_Acquisition(1, frame_.data(), 0, &Caller::Callback, &caller_);
    EXPECT_EQ(KX_GetImageA(nullptr, 0, 0), 2);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << "the question only; a cancel shows no error box";
    EXPECT_EQ(boxes[0].text, "Do you want to cancel?");
    EXPECT_EQ(boxes[0].buttons, platform::BoxButtons::YesNo);
    EXPECT_EQ(boxes[0].defaultAnswer, platform::BoxAnswer::No);
}

TEST_F(GetImageWindowTest, BannerMovesWithTheMouseAndShowsTheWaitingText)
{
    g_env->Sensor("ShotDelayMs=60000");
    QPoint before, after;
    QString text;
    QSize size, expected;
    caller_.onReport = [&](const AcqStatus& s) {
        if (s.event == KX_EVENT_PROGRESS && s.progress == 0)
            InWindowThread([&] {
                BannerWindow* w = RunningWindow<BannerWindow>();
                if (w == nullptr) return;
                before = w->pos();
                text = w->StateText();
                size = w->size();
                const QFontMetrics metrics(BannerWindow::StateFont());
                expected = QSize(metrics.horizontalAdvance("Image capturing. Please wait for a while") + 16,
                                 metrics.height() + 64);
                const QPointF from(5, 5), to(25, 15);
                QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(w, &press);
                QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(from) + QPointF(20, 10), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(w, &move);
                after = w->pos();
                KX_GetImageCancel();
            });
    };
    KX_Set_Acquisition(1, frame_.data(), 0, &Caller::Callback, &caller_);
    EXPECT_EQ(KX_GetImageA(nullptr, 100, 120), 2);
    EXPECT_EQ(before, QPoint(100, 120));
    EXPECT_EQ(after, QPoint(120, 130));
    EXPECT_EQ(text, "Press the X-ray [shot] button");
    EXPECT_EQ(size, expected) << "the widest text + 16, the text height + 64";
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }

private:
    const char* name_;
    std::string old_;
};

TEST(QtMessageBoxes, ServeBoxesInTheInterfaceThreadWhenSomeoneCanSeeThem)
{
    // A person can see the screen (the offscreen platform is used all the
    // same) and no handler is installed.
    const ScopedEnv headless("KORDEX_HEADLESS", nullptr);
    const ScopedEnv display("DISPLAY", ":0");
    const platform::MessageBoxHandler previous = platform::SetMessageBoxHandler(nullptr);
    RegisterQtMessageBoxes();
    int argc = 1;
    char name[] = "ui_window_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    QString shown;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible()) continue;
            shown = box->windowTitle() + "|" + box->text();
            box->button(QMessageBox::Yes)->click();
        }
    });
    answer.start();
    platform::MessageBoxRequest request;
    request.title = "IntraOral Detector";
    request.text = "Do you want to cancel?";
    request.icon = platform::BoxIcon::Question;
    request.buttons = platform::BoxButtons::YesNo;
    request.defaultAnswer = platform::BoxAnswer::No;
    EXPECT_EQ(platform::ShowMessageBox(request), platform::BoxAnswer::Yes);
    EXPECT_EQ(shown, "IntraOral Detector|Do you want to cancel?");

    // Another thread never waits for the interface thread: it gets the
    // headless answer, the default button.
    platform::BoxAnswer fromWorker = platform::BoxAnswer::Yes;
    std::thread worker([&] { fromWorker = platform::ShowMessageBox(request); });
    worker.join();
    EXPECT_EQ(fromWorker, platform::BoxAnswer::No);
    platform::SetMessageBoxHandler(previous);
}

}  // namespace
}  // namespace kordex::ui
