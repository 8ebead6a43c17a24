// The viewer windows driven offscreen with QTest: loading from the list,
// markers by click, zoom, keys, the close handshake, start rules, the mask
// editor with fill and save, the exports' bad-pixel news.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <string>
#include <vector>

#include "grayscope.h"
#include "grayscope/bpm/mask_buffer.h"
#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/histogram_area.h"
#include "grayscope/ui/image_area.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/marker_panel.h"
#include "grayscope/ui/view_window.h"
#include "grayscope/view/viewer_settings.h"
#include "grayscope_event.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "tests/support/failing_threads.h"
#include "tests/support/temp_dir.h"

using namespace grayscope;
using test_support::TempDir;

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "grayscope_ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        GSC_SetBPM(nullptr);
        delete app_;
    }

private:
    QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The host side of the close handshake: counts the messages it receives.
class Host : public QWidget {
public:
    int messages = 0;
    std::uint32_t wParam = 0;
    void* lParam = nullptr;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(GSC_MSG_VIEW_CLOSED)) {
            auto* m = static_cast<GscViewMessage*>(e);
            ++messages;
            wParam = m->wParam;
            lParam = m->lParam;
            return true;
        }
        return QWidget::event(e);
    }
};

void WriteFrame(const std::string& path, int w, int h, int base)
{
    std::vector<std::uint16_t> v(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            v[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint16_t>(base + x + 100 * y);
    test_support::WriteText(path, std::string(reinterpret_cast<const char*>(v.data()), v.size() * 2));
}

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// A fixture with frames in a temporary directory and its own settings file.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        SetSettingsPath(dir_.File("viewer.ini"));
        WriteFrame(dir_.File("a.raw"), kW, kH, 0);
        WriteFrame(dir_.File("b.raw"), kW, kH, 1000);
        WriteFrame(dir_.File("notes.txt"), 2, 2, 0);
        boxes_.clear();
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
            boxes_.push_back(r.text);
            return answer_;
        });
        GSC_SetBPM(nullptr);
    }
    void TearDown() override
    {
        for (ViewWindow* v : std::vector<ViewWindow*>(Lib().liveViews))
            GSC_DestroyView(v);
        GSC_SetBPM(nullptr);
        platform::SetMessageBoxHandler(nullptr);
    }

    ViewWindow* Open(int w, int h, const std::string& mask, QWidget* parent = nullptr)
    {
        ViewDescriptor d{};
        d.width = w;
        d.height = h;
        std::strncpy(d.mask, mask.c_str(), sizeof d.mask - 1);
        d.parent = parent;
        auto* view = reinterpret_cast<ViewWindow*>(GSC_CreateView(&d));
        view->resize(900, 700);
        Settle();
        view->OnTimer();
        return view;
    }

    void SetBpm(int w, int h)
    {
        BpmDescriptor b{};
        std::strncpy(b.directory, (dir_.Path() + "/").c_str(), sizeof b.directory - 1);
        b.width = w;
        b.height = h;
        GSC_SetBPM(&b);
    }

    static constexpr int kW = 64;
    static constexpr int kH = 32;
    TempDir dir_;
    std::vector<std::string> boxes_;
    platform::BoxAnswer answer_ = platform::BoxAnswer::Ok;
};

TEST_F(ViewTest, AViewWhoseWatcherCannotStartIsRefusedWithoutAnException)
{
    ViewDescriptor d{};
    d.width = kW;
    d.height = kH;
    std::strncpy(d.mask, (dir_.Path() + "/*.raw").c_str(), sizeof d.mask - 1);
    testing::internal::CaptureStderr();
    test_support::g_failThreads = true;
    const intptr_t view = GSC_CreateView(&d);
    test_support::g_failThreads = false;
    const std::string said = testing::internal::GetCapturedStderr();
    if (view != 0) {
        // A view that works without its watcher is as good an answer.
        GSC_DestroyView(reinterpret_cast<void*>(view));
        GTEST_SKIP() << "the view does without its directory watcher";
    }
    EXPECT_NE(said.find("Grayscope: GSC_CreateView failed: "), std::string::npos) << said;
    EXPECT_TRUE(Lib().liveViews.empty());
}

}  // namespace

TEST_F(ViewTest, LoadsFromTheListAndShowsTitleAndHistory)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    ASSERT_EQ(view->FileList()->count(), 2);
    EXPECT_EQ(view->FileList()->item(0)->text(), "a.raw");
    EXPECT_EQ(view->Image().width, kW);
    EXPECT_EQ(view->Image().min, 0);
    EXPECT_EQ(view->windowTitle(), "a.raw 64x32");
    EXPECT_EQ(view->History().front(), "64x32 / " + dir_.Path() + "/*.raw");
    view->FileList()->setCurrentRow(1);
    EXPECT_EQ(view->Image().min, 1000);
    // A refused size leaves the area empty and names the dimensions in the title.
    Lib().flags.autocomplete = false;
    WriteFrame(dir_.File("c.raw"), 10, 10, 0);
    view->OnTimer();
    QApplication::postEvent(view, new QEvent(static_cast<QEvent::Type>(kEventDirectoryChanged)));
    Settle();
    view->OnTimer();
    ASSERT_EQ(view->FileList()->count(), 3);
    view->FileList()->setCurrentRow(2);
    view->OnTimer();
    EXPECT_TRUE(view->Image().Empty());
    EXPECT_EQ(view->windowTitle(), "Grayscope 64x32");
    Lib().flags.autocomplete = true;
}

TEST_F(ViewTest, ClickSetsTheMarkerAndZoomIsClamped)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    const ViewLayout& layout = view->Layout();
    ASSERT_GT(layout.destination.Width(), 0);
    int px = 0, py = 0;
    PixelToClient(layout, 40, 20, &px, &py);
    QTest::mouseClick(view->Area(), Qt::LeftButton, {}, QPoint(px + 1, py + 1));
    EXPECT_EQ(view->MarkerX(), 40);
    EXPECT_EQ(view->MarkerY(), 20);
    QSpinBox* zoom = view->ZoomEdit();
    zoom->selectAll();
    QTest::keyClicks(zoom, "150");
    EXPECT_EQ(view->Zoom(), 99);
    EXPECT_EQ(zoom->value(), 99);
    zoom->selectAll();
    QTest::keyClicks(zoom, "0");
    EXPECT_EQ(view->Zoom(), 1);
    zoom->selectAll();
    QTest::keyClicks(zoom, "2");
    EXPECT_EQ(view->Zoom(), 2);
    EXPECT_EQ(view->Layout().source.Width(), kW / 2);
    EXPECT_TRUE(view->Layout().scrollBars);
}

TEST_F(ViewTest, FunctionKeysChooseMarkersAndMove)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    QTest::keyClick(view->Area(), Qt::Key_F3);
    EXPECT_EQ(view->Marker().kind, MarkerKind::Row);
    ASSERT_NE(view->Panel(), nullptr);
    EXPECT_TRUE(view->Panel()->isVisible());
    EXPECT_EQ(view->Panel()->Last(), kW - 1);
    QTest::keyClick(view->Area(), Qt::Key_F8);
    EXPECT_EQ(view->MarkerX(), kW - 1);
    QTest::keyClick(view->Area(), Qt::Key_F8, Qt::ControlModifier);
    EXPECT_EQ(view->MarkerY(), kH - 1);
    QTest::keyClick(view->Area(), Qt::Key_F7);
    EXPECT_EQ(view->MarkerX(), kW / 2);
    QTest::keyClick(view->Area(), Qt::Key_F1);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].rfind("F2..F5: marker mode", 0), 0u);
    QTest::keyClick(view->Area(), Qt::Key_F2);
    EXPECT_EQ(view->Marker().kind, MarkerKind::None);
    EXPECT_EQ(view->Panel(), nullptr);
    view->MarkerCombo()->setEditText("5x0");
    EXPECT_EQ(view->Marker().kind, MarkerKind::Rectangle);
    EXPECT_EQ(view->Marker().a, 5);
}

TEST_F(ViewTest, CloseHandshakePostsExactlyOneMessage)
{
    Host host;
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw", &host);
    view->reject();
    view->accept();
    view->close();
    Settle();
    EXPECT_EQ(host.messages, 1);
    EXPECT_EQ(host.wParam, GSC_VIEW_CLOSED_MAGIC);
    EXPECT_EQ(host.lParam, view);
    EXPECT_EQ(Lib().liveViews.size(), 1u);
    EXPECT_EQ(RegisteredViewCount(), 1);
    GSC_DestroyView(host.lParam);
    EXPECT_TRUE(Lib().liveViews.empty());
    EXPECT_EQ(RegisteredViewCount(), 0);
    GSC_DestroyView(nullptr);
    GSC_DestroyView(&host);  // not a view: ignored
}

TEST_F(ViewTest, StartRulesOfTheDescriptor)
{
    // Empty history: "512x512 / *.raw".
    ViewWindow* view = Open(0, 0, "");
    EXPECT_EQ(view->FrameWidth(), 512);
    EXPECT_EQ(view->Mask(), "*.raw");
    GSC_DestroyView(view);
    // The destroyed view wrote its history; a new entry on top wins.
    ViewSettings s = ReadViewSettings(Lib().settingsPath);
    s.history.insert(s.history.begin(), "64x32 / " + dir_.Path() + "/*.raw");
    WriteViewSettings(Lib().settingsPath, s);
    view = Open(0, 0, "");
    EXPECT_EQ(view->FrameWidth(), kW);
    EXPECT_EQ(view->Mask(), dir_.Path() + "/*.raw");
    GSC_DestroyView(view);
    // A mask without dimensions takes the last used ones (16 x 128 fits the
    // frames' 2048 pixels, so they load as that).
    s = ReadViewSettings(Lib().settingsPath);
    s.lastWidth = 16;
    s.lastHeight = 128;
    WriteViewSettings(Lib().settingsPath, s);
    Lib().flags.autocomplete = false;
    view = Open(0, 0, dir_.Path() + "/*.raw");
    EXPECT_EQ(view->FrameWidth(), 16);
    EXPECT_EQ(view->FrameHeight(), 128);
    GSC_DestroyView(view);
    Lib().flags.autocomplete = true;
}

TEST_F(ViewTest, ModalDefaultViewEndsWithItsCode)
{
    QTimer::singleShot(200, [] {
        if (auto* view = qobject_cast<ViewWindow*>(QApplication::activeModalWidget()))
            view->accept();
    });
    EXPECT_EQ(GSC_CreateViewDefault(), 1);
    EXPECT_TRUE(Lib().liveViews.empty());
}

TEST_F(ViewTest, DeleteAsksAndReportsAndBmpNeedsAnImage)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    view->FileList()->clearSelection();
    view->DeleteSelected();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], "ERR: No files selected");
    view->FileList()->item(1)->setSelected(true);
    answer_ = platform::BoxAnswer::No;
    view->DeleteSelected();
    EXPECT_TRUE(platform::FileExists(dir_.File("b.raw")));
    answer_ = platform::BoxAnswer::Yes;
    view->DeleteSelected();
    EXPECT_EQ(boxes_.back(), "Do you want to delete 1 selected file ?");
    EXPECT_FALSE(platform::FileExists(dir_.File("b.raw")));
    EXPECT_TRUE(view->ExportBmp(dir_.File("a.bmp")));
    EXPECT_EQ(test_support::ReadText(dir_.File("a.bmp")).size(), 1078u + kW * kH);
    view->FileList()->clearSelection();
    view->FileList()->setCurrentRow(-1);
    EXPECT_FALSE(view->ExportBmp(dir_.File("b.bmp")));
    EXPECT_EQ(boxes_.back(), "ERR: There is no 16-bits image loaded");
}

TEST_F(ViewTest, MaskEditorFillsAndSavesFromTheView)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    EXPECT_FALSE(view->BpmButton()->isVisibleTo(view));
    SetBpm(kW, kH);
    EXPECT_TRUE(view->BpmButton()->isVisibleTo(view));
    QTest::mouseClick(view->BpmButton(), Qt::LeftButton);
    BpmEditor* editor = Lib().editor.get();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Attached(), view);
    BpmEditorWindow* window = editor->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(view->MaskColoursShown());
    window->LineEdit()->setValue(3);
    window->FromEdit()->setValue(10);
    window->ToEdit()->setValue(5);
    window->MarkCombo()->setCurrentIndex(1);
    QTest::mouseClick(window->FillButton(), Qt::LeftButton);
    EXPECT_EQ(editor->Mask().CurrentManualCount(), 6);
    EXPECT_EQ(editor->Mask().At(5, 3), kMaskManual);
    EXPECT_EQ(editor->Mask().At(10, 3), kMaskManual);
    // Negative values are read as 0 and written back.
    window->FromEdit()->setValue(-4);
    EXPECT_EQ(window->FromEdit()->value(), 0);
    // Marking from the view: F11 takes the marker's row and column.
    view->SetMarker(7, 9);
    QTest::keyClick(view->Area(), Qt::Key_F11);
    EXPECT_EQ(window->LineEdit()->value(), 9);
    EXPECT_EQ(window->FromEdit()->value(), 7);
    view->SetMarker(2, 9);
    QTest::keyClick(view->Area(), Qt::Key_F12);
    EXPECT_EQ(window->FromEdit()->value(), 2);
    EXPECT_EQ(window->ToEdit()->value(), 7);
    QTest::mouseClick(window->SaveButton(), Qt::LeftButton);
    const std::string bytes = test_support::ReadText(dir_.File("BPMM.raw"));
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(kW * kH * 2));
    std::vector<std::uint16_t> values(kW * kH);
    std::memcpy(values.data(), bytes.data(), bytes.size());
    EXPECT_EQ(values[3 * kW + 5], 256);
    EXPECT_EQ(values[3 * kW + 4], 0);
    // The view paints the mask: render it (fast mode: whole pixels) and find magenta.
    view->SetDrawMode(1);
    view->Area()->repaint();
    const QImage shot = view->Area()->grab().toImage();
    int l = 0, t = 0, r = 0, b = 0;
    PixelToClient(view->Layout(), 7, 3, &l, &t);
    PixelToClient(view->Layout(), 8, 4, &r, &b);
    EXPECT_EQ(shot.pixelColor((l + r) / 2, (t + b) / 2), QColor(255, 0, 255));
    PixelToClient(view->Layout(), 30, 20, &l, &t);
    PixelToClient(view->Layout(), 31, 21, &r, &b);
    EXPECT_NE(shot.pixelColor((l + r) / 2, (t + b) / 2), QColor(255, 0, 255));
    // Pressing the button again hides and detaches the editor.
    QTest::mouseClick(view->BpmButton(), Qt::LeftButton);
    EXPECT_EQ(editor->Attached(), nullptr);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ViewTest, BadPixelNewsFromTheExports)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    SetBpm(kW, kH);
    EXPECT_EQ(GSC_ChangeBPMCut(-1, -1, -1, -1), 1);
    EXPECT_EQ(Lib().bpm.cutLeft, 0);
    EXPECT_EQ(Lib().bpm.cutBottom, 0);
    EXPECT_EQ(GSC_ChangeBPMCut(2, -1, 3, -1), 1);
    EXPECT_EQ(Lib().bpm.cutLeft, 2);
    EXPECT_EQ(Lib().bpm.cutRight, 3);
    EXPECT_EQ(Lib().bpm.cutTop, 0);
    view->ToggleBpmEditor();
    ASSERT_NE(Lib().editor->Attached(), nullptr);
    GSC_ChangeBPMFrame(nullptr, 32, -1);
    EXPECT_EQ(Lib().bpm.width, 32);
    EXPECT_EQ(Lib().bpm.height, kH);
    EXPECT_FALSE(view->BpmButton()->isVisibleTo(view));
    Settle();
    EXPECT_EQ(Lib().editor->Attached(), nullptr);
    GSC_SetBPM(nullptr);
    EXPECT_EQ(Lib().editor, nullptr);
    EXPECT_EQ(GSC_IsUnicode(), 0);
}

TEST_F(ViewTest, KeepsBlackAndKeepsWhiteShowAThinLineWhenScaledDown)
{
    // 1000 x 500 mid grey with one dark column (x = 501) and one bright row (y = 251).
    constexpr int w = 1000, h = 500;
    std::vector<std::uint16_t> v(static_cast<std::size_t>(w) * h, 2000);
    for (int y = 0; y < h; ++y)
        v[static_cast<std::size_t>(y) * w + 501] = 0;
    for (int x = 0; x < w; ++x)
        v[static_cast<std::size_t>(251) * w + x] = 4095;
    TempDir big;
    ASSERT_TRUE(big.Ok());
    test_support::WriteText(big.File("line.raw"), std::string(reinterpret_cast<const char*>(v.data()), v.size() * 2));
    ViewWindow* view = Open(w, h, big.Path() + "/*.raw");
    ASSERT_FALSE(view->Image().Empty());
    view->resize(600, 600);
    Settle();
    ASSERT_LT(view->Layout().destination.Width(), w / 2);
    auto lineVisible = [&](bool column, QColor colour) {
        view->Area()->repaint();
        const QImage shot = view->Area()->grab().toImage();
        const Rect& d = view->Layout().destination;
        int px = 0, py = 0;
        PixelToClient(view->Layout(), 501, 251, &px, &py);
        for (int k = -1; k <= 1; ++k) {
            const int x = column ? px + k : d.left + d.Width() / 4;
            const int y = column ? d.top + d.Height() / 4 : py + k;
            if (shot.pixelColor(x, y) == colour)
                return true;
        }
        return false;
    };
    view->SetDrawMode(2);
    EXPECT_TRUE(lineVisible(true, QColor(0, 0, 0)));
    view->SetDrawMode(3);
    EXPECT_TRUE(lineVisible(false, QColor(255, 255, 255)));
}

TEST_F(ViewTest, RegistryHoldsAHundredAndTwentyEightViews)
{
    std::vector<ViewWindow*> views;
    for (int i = 0; i < kRegistryCapacity + 1; ++i) {
        ViewDescriptor d{};
        d.width = kW;
        d.height = kH;
        std::strncpy(d.mask, (dir_.Path() + "/*.txt").c_str(), sizeof d.mask - 1);
        views.push_back(reinterpret_cast<ViewWindow*>(GSC_CreateView(&d)));
    }
    EXPECT_EQ(RegisteredViewCount(), kRegistryCapacity);
    EXPECT_EQ(Lib().liveViews.size(), static_cast<std::size_t>(kRegistryCapacity + 1));
    // The unregistered view works but gets no news.
    EXPECT_EQ(GSC_ChangeBPMCut(-1, -1, -1, -1), kRegistryCapacity);
    GSC_DestroyView(views.front());
    EXPECT_EQ(RegisteredViewCount(), kRegistryCapacity - 1);
}

TEST_F(ViewTest, PreTranslateHandlesFunctionKeysOnlyWithRegisteredViews)
{
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    EXPECT_EQ(GSC_PreTranslateMessage(&f3), 0);
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    view->activateWindow();
    view->Area()->setFocus();
    Settle();
    if (QApplication::focusWidget() == nullptr)
        GTEST_SKIP() << "no focus on this platform";
    EXPECT_EQ(GSC_PreTranslateMessage(&f3), 1);
    EXPECT_EQ(view->Marker().kind, MarkerKind::Row);
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(GSC_PreTranslateMessage(&a), 0);
    QKeyEvent f10(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
    EXPECT_EQ(GSC_PreTranslateMessage(&f10), 0);
}

TEST_F(ViewTest, AFileThatCannotBeOpenedIsReportedOncePerLibrary)
{
    Lib().openErrorShown = false;
    WriteFrame(dir_.File("c.raw"), kW, kH, 0);
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    ASSERT_EQ(view->FileList()->count(), 3);
    // The files go after the list was filled.
    platform::RemoveFile(dir_.File("b.raw"));
    platform::RemoveFile(dir_.File("c.raw"));
    view->FileList()->setCurrentRow(1);
    EXPECT_TRUE(view->Image().Empty());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], "ERR: can't open\n\"" + dir_.File("b.raw") + "\" (code 2)\nNo such file or directory");
    view->FileList()->setCurrentRow(2);
    EXPECT_EQ(boxes_.size(), 1u);
    // The view stays usable.
    view->FileList()->setCurrentRow(0);
    EXPECT_FALSE(view->Image().Empty());
}

TEST_F(ViewTest, HistogramStatisticsFitTheirRectanglesWithAnyFont)
{
    ViewWindow* view = Open(kW, kH, dir_.Path() + "/*.raw");
    HistogramArea* area = view->Histogram();
    ASSERT_FALSE(area->StatisticsValues().isEmpty());
    const QSize shown = area->size();
    struct Case {
        const char* family;
        int pixels;
        QSize size;
    };
    const Case cases[] = {
        {"Arial", 14, shown},           {"DejaVu Sans", 14, QSize(160, 120)}, {"DejaVu Serif", 40, shown},
        {"DejaVu Sans Mono", 28, shown}, {"DejaVu Sans", 90, shown},          {"DejaVu Sans", 60, QSize(160, 120)},
    };
    for (const Case& c : cases) {
        QFont font(c.family);
        font.setPixelSize(c.pixels);
        area->setFont(font);
        area->resize(c.size);
        const StatisticsBlock b = area->Statistics();
        const QFontMetrics labels(b.labelFont);
        const QFontMetrics values(b.valueFont);
        const std::string what = std::string(c.family) + " " + std::to_string(c.pixels);
        EXPECT_TRUE(b.labels.contains(labels.boundingRect(b.labels, b.flags, area->StatisticsLabels()))) << what;
        EXPECT_TRUE(b.values.contains(values.boundingRect(b.values, b.flags, area->StatisticsValues()))) << what;
        EXPECT_FALSE(b.labels.intersects(b.values)) << what;
        EXPECT_TRUE(QRect(QPoint(0, 0), c.size).contains(b.labels.united(b.values))) << what;
        EXPECT_TRUE(b.valueFont.bold()) << what;
    }
}

// Clicks go through the window system's path (QWindow), where modality applies.
TEST_F(ViewTest, AModalViewBlocksItsHostButNotTheMaskEditorItOpens)
{
    struct Case {
        const char* what;
        bool hostIsParent;  // else the view has no parent and the host is the active window
    };
    const Case cases[] = {{"parent given", true}, {"no parent", false}};
    for (const Case& c : cases) {
        SetBpm(kW, kH);
        QWidget host;
        auto* button = new QPushButton("host", &host);
        button->setGeometry(10, 10, 80, 30);
        int hostClicks = 0;
        QObject::connect(button, &QPushButton::clicked, [&] { ++hostClicks; });
        host.resize(200, 100);
        host.show();
        host.activateWindow();
        Settle();
        auto clickHost = [&] { QTest::mouseClick(host.windowHandle(), Qt::LeftButton, {}, QPoint(50, 25)); };
        int filled = -1;
        QTimer::singleShot(0, [&] {
            auto* view = qobject_cast<ViewWindow*>(QApplication::activeModalWidget());
            ASSERT_NE(view, nullptr);
            clickHost();
            view->OnTimer();
            QTest::mouseClick(view->BpmButton(), Qt::LeftButton);
            BpmEditorWindow* window = Lib().editor->Window();
            ASSERT_NE(window, nullptr);
            Settle();
            window->LineEdit()->setValue(3);
            window->FromEdit()->setValue(1);
            window->ToEdit()->setValue(2);
            window->MarkCombo()->setCurrentIndex(1);
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                              window->FillButton()->mapTo(window, window->FillButton()->rect().center()));
            filled = Lib().editor->Mask().CurrentManualCount();
            view->accept();
        });
        ViewDescriptor d{};
        d.modal = 1;
        d.width = kW;
        d.height = kH;
        std::strncpy(d.mask, (dir_.Path() + "/*.raw").c_str(), sizeof d.mask - 1);
        d.parent = c.hostIsParent ? &host : nullptr;
        EXPECT_EQ(GSC_CreateView(&d), 1) << c.what;
        EXPECT_EQ(filled, 2) << c.what;
        EXPECT_EQ(hostClicks, 0) << c.what;
        clickHost();
        EXPECT_EQ(hostClicks, 1) << c.what;
        GSC_SetBPM(nullptr);
    }
}
