// The viewer window. Layout: the image area with its scroll bars takes the
// left and the rest; file list, mask history, buttons, marker and grey-map
// edits and the histogram stack along the right edge.
#include "grayscope/ui/view_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/error_box.h"
#include "grayscope/ui/histogram_area.h"
#include "grayscope/ui/image_area.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/marker_panel.h"
#include "grayscope/ui/reversible_spin.h"
#include "grayscope/view/bmp_export.h"
#include "grayscope/view/frame_load.h"
#include "grayscope/view/grey_map.h"
#include "grayscope/view/mask_entry.h"
#include "grayscope/view/min_max_reduction.h"
#include "grayscope/view/truncation.h"
#include "grayscope_event.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace grayscope {

namespace {

constexpr int kTimerMs = 500;
constexpr int kMinTrackSize = 580;
constexpr int kMaxDeleteNames = 1024;
constexpr const char* kHelpText =
    "F2..F5: marker mode (none,row,col,surround)\nF6..F8: move horz (left,center,right)\n"
    "ctl+F6..F8: move vert (top,center,bottom)\nF9: pop-up menu";

QSpinBox* MakeSpin(QWidget* parent, int lo, int hi, const char* tip)
{
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setToolTip(tip);
    s->setKeyboardTracking(true);
    return s;
}

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* tip)
{
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    b->setFixedWidth(44);
    return b;
}

// The directory of a mask as a path to list ("." for none).
std::string ListDirectory(const std::string& mask)
{
    const std::string dir = MaskDirectory(mask);
    return dir.empty() ? std::string(".") : platform::ExpandHome(dir);
}

}  // namespace

ViewWindow::ViewWindow(const ViewDescriptor& descriptor, QWidget* parent) : QDialog(parent), descriptor_(descriptor)
{
    descriptor_.mask[sizeof descriptor_.mask - 1] = '\0';
    descriptor_.select[sizeof descriptor_.select - 1] = '\0';
    setWindowTitle("Grayscope");
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    Lib().liveViews.push_back(this);
    try {
        Construct();
    } catch (...) {
        // Half made (no memory, no watcher thread): no longer a live view;
        // its child widgets go with the dialog.
        auto& live = Lib().liveViews;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        throw;
    }
}

void ViewWindow::Construct()
{
    settings_ = ReadViewSettings(Lib().settingsPath);
    BuildControls();
    setMinimumSize(kMinTrackSize, kMinTrackSize);
    resize(900, 700);
    const StartView start = ResolveStart(descriptor_.width, descriptor_.height, descriptor_.mask, settings_);
    width_ = start.width;
    height_ = start.height;
    mask_ = start.mask;
    ApplySettings();
    maskCombo_->blockSignals(true);
    for (const auto& entry : settings_.history)
        maskCombo_->addItem(QString::fromStdString(entry));
    maskCombo_->setEditText(QString::fromStdString(FormatMaskEntry(width_, height_, mask_)));
    maskCombo_->blockSignals(false);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &ViewWindow::OnTimer);
    timer_->start(kTimerMs);
    FillFileList();
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kEventStart)));
}

ViewWindow::~ViewWindow()
{
    timer_->stop();
    if (BpmEditor* editor = Lib().editor.get(); editor != nullptr && editor->Attached() == this)
        editor->Detach();
    watcher_.Stop();
    delete panel_;
    panel_ = nullptr;
    if (!isMaximized()) {
        const QRect r = geometry();
        settings_.wndLeft = r.left();
        settings_.wndTop = r.top();
        settings_.wndRight = r.right() + 1;
        settings_.wndBottom = r.bottom() + 1;
    }
    StoreSettings();
    WriteViewSettings(Lib().settingsPath, settings_);
    UnregisterView(this);
    auto& live = Lib().liveViews;
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void ViewWindow::BuildControls()
{
    area_ = new ImageArea(this, this);
    hScroll_ = new QScrollBar(Qt::Horizontal, this);
    vScroll_ = new QScrollBar(Qt::Vertical, this);
    hScroll_->hide();
    vScroll_->hide();
    hScroll_->setSingleStep(1);
    vScroll_->setSingleStep(1);
    hScroll_->setPageStep(10);
    vScroll_->setPageStep(10);

    maskCombo_ = new QComboBox(this);
    maskCombo_->setEditable(true);
    maskCombo_->setToolTip("Width x Height / Wildcard mask");
    maskCombo_->setInsertPolicy(QComboBox::NoInsert);
    fileList_ = new QListWidget(this);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    browseButton_ = MakeButton(this, "br&w", "Browse for wildcard mask");
    openButton_ = MakeButton(this, "&opn", "Open default viewer");
    deleteButton_ = MakeButton(this, "&del", "Delete");
    bmpButton_ = MakeButton(this, "&bmp", "Convert to Windows bmp-format");
    bpmButton_ = MakeButton(this, "BP&M", "Bad Pixels Mask editor");
    bpmButton_->hide();
    markerXEdit_ = MakeSpin(this, 0, 0, "Marker X");
    // The vertical spin runs upwards on screen: its up arrow lowers the row.
    auto* markerY = new ReversibleSpin(this);
    markerY->setToolTip("Marker Y");
    markerY->SetReversed(true);
    markerYEdit_ = markerY;
    zoomEdit_ = MakeSpin(this, -9999, 9999, "Zoom");
    markerCombo_ = new QComboBox(this);
    markerCombo_->setEditable(true);
    markerCombo_->setToolTip("Marker type");
    markerCombo_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& preset : MarkerPresets())
        markerCombo_->addItem(QString::fromStdString(preset));
    truncCheck_ = new QCheckBox("&T-hist", this);
    truncCheck_->setToolTip("Truncate grayscale by histogram");
    blackEdit_ = MakeSpin(this, -32767, 32767, "Pixel black");
    whiteEdit_ = MakeSpin(this, -32767, 32767, "Pixel white");
    truncBlackEdit_ = MakeSpin(this, -999, 999, "Histogram truncation black in 0.1 %");
    truncWhiteEdit_ = MakeSpin(this, -999, 999, "Histogram truncation white in 0.1 %");
    histMinEdit_ = MakeSpin(this, -32767, 32767, "Histogram range min");
    histMaxEdit_ = MakeSpin(this, -32767, 32767, "Histogram range max");
    histScaleEdit_ = MakeSpin(this, 1, 9999, "Histogram value scale");
    histogram_ = new HistogramArea(this, this);

    auto* right = new QVBoxLayout;
    right->addWidget(maskCombo_);
    right->addWidget(fileList_, 3);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {browseButton_, openButton_, deleteButton_, bmpButton_, bpmButton_})
        buttons->addWidget(b);
    buttons->addStretch();
    right->addLayout(buttons);
    auto* edits = new QGridLayout;
    edits->addWidget(new QLabel("X", this), 0, 0);
    edits->addWidget(markerXEdit_, 0, 1);
    edits->addWidget(new QLabel("Y", this), 0, 2);
    edits->addWidget(markerYEdit_, 0, 3);
    edits->addWidget(new QLabel("Zoom", this), 1, 0);
    edits->addWidget(zoomEdit_, 1, 1);
    edits->addWidget(markerCombo_, 1, 2, 1, 2);
    edits->addWidget(truncCheck_, 2, 0, 1, 2);
    edits->addWidget(new QLabel("black / white", this), 3, 0, 1, 2);
    edits->addWidget(blackEdit_, 4, 0, 1, 2);
    edits->addWidget(whiteEdit_, 4, 2, 1, 2);
    edits->addWidget(new QLabel("trunc. 0.1 %", this), 5, 0, 1, 2);
    edits->addWidget(truncBlackEdit_, 6, 0, 1, 2);
    edits->addWidget(truncWhiteEdit_, 6, 2, 1, 2);
    edits->addWidget(new QLabel("hist. range / scale", this), 7, 0, 1, 4);
    edits->addWidget(histMinEdit_, 8, 0, 1, 2);
    edits->addWidget(histMaxEdit_, 8, 2, 1, 2);
    edits->addWidget(histScaleEdit_, 9, 0, 1, 2);
    right->addLayout(edits);
    right->addWidget(histogram_, 2);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(area_, 0, 0);
    grid->addWidget(vScroll_, 0, 1);
    grid->addWidget(hScroll_, 1, 0);
    grid->addLayout(right, 0, 2, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(0, 1);

    connect(fileList_, &QListWidget::currentRowChanged, this, &ViewWindow::LoadSelected);
    connect(maskCombo_, &QComboBox::textActivated, this, [this](const QString&) { pendingRefill_ = true; });
    connect(maskCombo_, &QComboBox::editTextChanged, this, [this](const QString&) {
        if (!starting_)
            pendingRefill_ = true;
    });
    connect(browseButton_, &QPushButton::clicked, this, &ViewWindow::Browse);
    connect(openButton_, &QPushButton::clicked, this, &ViewWindow::OpenDefault);
    connect(deleteButton_, &QPushButton::clicked, this, &ViewWindow::DeleteSelected);
    connect(bmpButton_, &QPushButton::clicked, this, [this] {
        if (image_.Empty()) {
            ShowError(this, "There is no 16-bits image loaded");
            return;
        }
        const QString name = QString::fromStdString(DefaultBmpName(loadedPath_));
        const QString path = QFileDialog::getSaveFileName(this, "Select name of saved BMP file", name,
                                                          "BMP-files (*.bmp)");
        if (!path.isEmpty())
            ExportBmp(path.endsWith(".bmp", Qt::CaseInsensitive) ? path.toStdString() : path.toStdString() + ".bmp");
    });
    connect(bpmButton_, &QPushButton::clicked, this, &ViewWindow::ToggleBpmEditor);
    auto markerMoved = [this] {
        if (starting_)
            return;
        UpdateMarkerPanel();
        area_->update();
    };
    connect(markerXEdit_, &QSpinBox::valueChanged, this, markerMoved);
    connect(markerYEdit_, &QSpinBox::valueChanged, this, markerMoved);
    connect(zoomEdit_, &QSpinBox::valueChanged, this, &ViewWindow::ZoomEdited);
    connect(markerCombo_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        markerText_ = text.toStdString();
        const std::int32_t code = EncodeMarkerText(markerText_);
        const bool chosen = code != markerCode_;
        markerCode_ = code;
        if (code == 0) {
            StoreSettings();
            delete panel_;
            panel_ = nullptr;
        } else if (!starting_) {
            if (panel_ == nullptr) {
                panel_ = new MarkerPanel(this, area_);
                panel_->SetProfileRange(settings_.profileMin, settings_.profileMax);
            }
            panel_->Arrange(chosen);
            panel_->show();
        }
        area_->update();
    });
    connect(truncCheck_, &QCheckBox::toggled, this, [this](bool on) {
        if (starting_)
            return;
        settings_.truncOn = on;
        RefreshGreyMap();
    });
    connect(blackEdit_, &QSpinBox::valueChanged, this, [this](int v) {
        if (starting_ || settings_.truncOn)
            return;
        settings_.pixelBlack = v;
        area_->update();
    });
    connect(whiteEdit_, &QSpinBox::valueChanged, this, [this](int v) {
        if (starting_ || settings_.truncOn)
            return;
        settings_.pixelWhite = v;
        area_->update();
    });
    // Editing a truncation value stores it and, with the switch on, recomputes that side at once.
    auto truncationEdited = [this](Side side, int* stored, QSpinBox* point) {
        return [this, side, stored, point](int v) {
            if (starting_)
                return;
            *stored = v;
            if (settings_.truncOn) {
                point->setValue(TruncatedPoint(image_.Empty() ? nullptr : &image_, v, side));
                area_->update();
            }
        };
    };
    connect(truncBlackEdit_, &QSpinBox::valueChanged, this,
            truncationEdited(Side::Black, &settings_.truncBlack, blackEdit_));
    connect(truncWhiteEdit_, &QSpinBox::valueChanged, this,
            truncationEdited(Side::White, &settings_.truncWhite, whiteEdit_));
    for (QSpinBox* s : {histMinEdit_, histMaxEdit_, histScaleEdit_})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            if (starting_)
                return;
            settings_.histMin = histMinEdit_->value();
            settings_.histMax = histMaxEdit_->value();
            settings_.histScale = histScaleEdit_->value();
            histogram_->update();
        });
    connect(hScroll_, &QScrollBar::valueChanged, this, [this](int v) { ScrollToPositions(v, vScroll_->value()); });
    connect(vScroll_, &QScrollBar::valueChanged, this, [this](int v) { ScrollToPositions(hScroll_->value(), v); });
}

void ViewWindow::ApplySettings()
{
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                          : QRect(0, 0, 1920, 1080);
    if (PlausibleWindowRect(settings_.wndLeft, settings_.wndTop, settings_.wndRight, settings_.wndBottom,
                            screen.width(), screen.height()))
        setGeometry(settings_.wndLeft, settings_.wndTop, settings_.wndRight - settings_.wndLeft,
                    settings_.wndBottom - settings_.wndTop);
    drawMode_ = settings_.stretchMode;
    zoom_ = ClampZoom(settings_.zoom);
    zoomEdit_->setValue(zoom_);
    blackEdit_->setValue(settings_.pixelBlack);
    whiteEdit_->setValue(settings_.pixelWhite);
    truncBlackEdit_->setValue(settings_.truncBlack);
    truncWhiteEdit_->setValue(settings_.truncWhite);
    truncCheck_->setChecked(settings_.truncOn);
    histMinEdit_->setValue(settings_.histMin);
    histMaxEdit_->setValue(settings_.histMax);
    histScaleEdit_->setValue(settings_.histScale);
    markerCombo_->setEditText(QString::fromStdString(settings_.markerMode));
    markerText_ = settings_.markerMode;
    markerCode_ = EncodeMarkerText(markerText_);
    UpdateTruncationControls();
}

void ViewWindow::StoreSettings()
{
    settings_.stretchMode = drawMode_;
    settings_.zoom = zoom_;
    settings_.markerMode = platform::Truncated(markerText_, 31);
    if (panel_ != nullptr) {
        settings_.profileMin = panel_->ProfileMin();
        settings_.profileMax = panel_->ProfileMax();
    }
}

int ViewWindow::MarkerX() const
{
    return markerXEdit_->value();
}

int ViewWindow::MarkerY() const
{
    return markerYEdit_->value();
}

int ViewWindow::BlackPoint() const
{
    return blackEdit_->value();
}

int ViewWindow::WhitePoint() const
{
    return whiteEdit_->value();
}

bool ViewWindow::EditorAttachedHere() const
{
    const BpmEditor* editor = Lib().editor.get();
    return editor != nullptr && editor->Attached() == this;
}

bool ViewWindow::MaskColoursShown() const
{
    return EditorAttachedHere() && !image_.Empty() && MapHasSize(image_.width, image_.height) &&
           Lib().editor->Mask().Width() == image_.width && Lib().editor->Mask().Height() == image_.height;
}

// ---- file list and loading ------------------------------------------------

void ViewWindow::FillFileList()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string dir = ListDirectory(mask_);
    const std::vector<std::string> names = platform::FindFiles(dir, MaskWildcard(mask_));
    const QString current = fileList_->currentItem() ? fileList_->currentItem()->text() : QString();
    fileList_->blockSignals(true);
    fileList_->clear();
    for (const auto& name : names)
        fileList_->addItem(QString::fromStdString(name));
    fileList_->blockSignals(false);
    // The entry matching the select name by prefix (the file shown before a
    // refill of the same directory keeps its place), else the first.
    QString wanted = QString::fromLocal8Bit(descriptor_.select, static_cast<int>(strnlen(descriptor_.select, 79)));
    if (!loadedPath_.empty() && platform::DirectoryOf(loadedPath_) == platform::DirectoryOf(dir + "/x"))
        wanted = QString::fromStdString(platform::FileNameOf(loadedPath_));
    int row = names.empty() ? -1 : 0;
    if (!wanted.isEmpty())
        for (int i = 0; i < fileList_->count(); ++i)
            if (fileList_->item(i)->text().startsWith(wanted, Qt::CaseInsensitive)) {
                row = i;
                break;
            }
    if (row >= 0)
        fileList_->setCurrentRow(row);
    else
        LoadSelected();
    std::string watchDir = dir;
    while (watchDir.size() > 1 && watchDir.back() == '/')
        watchDir.pop_back();
    if (watchDir.empty())
        watchDir = ".";  // no directory part: the current directory
    QPointer<ViewWindow> self(this);
    watcher_.Start(watchDir, [self] {
        // Runs on the watcher thread: only post to the view. The watcher is
        // stopped before the view goes, so the pointer is still valid here.
        if (!self.isNull())
            QCoreApplication::postEvent(self.data(), new QEvent(static_cast<QEvent::Type>(kEventDirectoryChanged)));
    });
    QApplication::restoreOverrideCursor();
}

void ViewWindow::LoadSelected()
{
    QListWidgetItem* item = fileList_->currentItem();
    const std::string path =
        item != nullptr ? platform::WithTrailingSlash(ListDirectory(mask_)) + item->text().toStdString() : std::string();
    if (!path.empty() && path == loadedPath_)
        return;
    levels_.clear();
    wholePixmap_ = QPixmap();
    regionImage_ = QImage();
    cacheState_ = 0;
    InvalidateCache();
    image_ = ViewerImage{};
    loadedPath_.clear();
    const int oldWidth = width_;
    const int oldHeight = height_;
    bool loaded = false;
    if (!path.empty()) {
        const bool wait = FileBytes(path) > kWaitCursorBytes;
        if (wait)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        int w = width_;
        int h = height_;
        int code = 0;
        const LoadResult r = LoadFrame(path, Lib().flags.autocomplete, &w, &h, &image_, &code);
        if (wait)
            QApplication::restoreOverrideCursor();
        if (r == LoadResult::CannotOpen && !Lib().openErrorShown) {
            Lib().openErrorShown = true;
            ShowError(this, platform::Format("can't open\n\"%s\"", path.c_str()), code);
        }
        if (r == LoadResult::Loaded) {
            loaded = true;
            loadedPath_ = path;
            width_ = w;
            height_ = h;
        }
    }
    RefreshGreyMap();
    titleText_ = loaded ? platform::Format("%s %dx%d", platform::FileNameOf(path).c_str(), width_, height_)
                        : platform::Format("Grayscope %dx%d", width_, height_);
    pendingTitle_ = true;
    if (loaded && (width_ != oldWidth || height_ != oldHeight)) {
        settings_.lastWidth = width_;
        settings_.lastHeight = height_;
        pendingLayout_ = true;
    }
    if (loaded) {
        settings_.lastWidth = width_;
        settings_.lastHeight = height_;
    }
    markerXEdit_->setRange(0, std::max(image_.width - 1, 0));
    markerYEdit_->setRange(0, std::max(image_.height - 1, 0));
    UpdateBpmButton();
    RecomputeLayout();
    if (panel_ != nullptr)
        panel_->Arrange(false);
    histogram_->update();
    area_->update();
}

void ViewWindow::RefreshGreyMap()
{
    if (settings_.truncOn) {
        const ViewerImage* image = image_.Empty() ? nullptr : &image_;
        blackEdit_->setValue(TruncatedPoint(image, settings_.truncBlack, Side::Black));
        whiteEdit_->setValue(TruncatedPoint(image, settings_.truncWhite, Side::White));
    } else {
        blackEdit_->setValue(settings_.pixelBlack);
        whiteEdit_->setValue(settings_.pixelWhite);
    }
    UpdateTruncationControls();
    area_->update();
}

void ViewWindow::UpdateTruncationControls()
{
    const bool on = settings_.truncOn;
    blackEdit_->setEnabled(!on);
    whiteEdit_->setEnabled(!on);
    truncBlackEdit_->setEnabled(on);
    truncWhiteEdit_->setEnabled(on);
}

void ViewWindow::UpdateHistoryEntry()
{
    if (maskCombo_->view()->isVisible())
        return;
    UpdateHistory(&settings_.history, width_, height_, mask_);
    QLineEdit* edit = maskCombo_->lineEdit();
    const int cursor = edit->cursorPosition();
    maskCombo_->blockSignals(true);
    maskCombo_->clear();
    for (const auto& entry : settings_.history)
        maskCombo_->addItem(QString::fromStdString(entry));
    maskCombo_->setCurrentIndex(0);
    maskCombo_->blockSignals(false);
    edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
}

void ViewWindow::MaskEntryChosen(const QString& text)
{
    const MaskEntry entry = ParseMaskEntry(text.toStdString());
    if (!entry.valid)
        return;
    width_ = entry.width;
    height_ = entry.height;
    mask_ = entry.mask;
    FillFileList();
}

void ViewWindow::UpdateTitle()
{
    setWindowTitle(QString::fromStdString(titleText_));
}

// ---- timer and events -----------------------------------------------------

void ViewWindow::OnTimer()
{
    if (pendingLayout_ && !isMinimized()) {
        pendingLayout_ = false;
        if (QApplication::focusWidget() == hScroll_ || QApplication::focusWidget() == vScroll_)
            zoomEdit_->setFocus();
        RecomputeLayout();
        area_->update();
    }
    if (pendingRefill_) {
        pendingRefill_ = false;
        MaskEntryChosen(maskCombo_->currentText());
    }
    if (pendingTitle_) {
        pendingTitle_ = false;
        UpdateTitle();
        if (!image_.Empty())
            UpdateHistoryEntry();
    }
    if (pendingWatch_) {
        pendingWatch_ = false;
        FillFileList();
    }
    if (pendingRedraw_) {
        pendingRedraw_ = false;
        area_->update();
        if (panel_ != nullptr)
            panel_->update();
    }
}

bool ViewWindow::event(QEvent* e)
{
    switch (static_cast<int>(e->type())) {
    case kEventStart:
        starting_ = false;
        markerCombo_->setEditText(QString::fromStdString(markerText_));
        if (markerCode_ != 0 && panel_ == nullptr) {
            panel_ = new MarkerPanel(this, area_);
            panel_->SetProfileRange(settings_.profileMin, settings_.profileMax);
            panel_->Arrange(true);
            panel_->show();
        }
        RecomputeLayout();
        area_->setFocus();
        return true;
    case kEventLayout:
        RecomputeLayout();
        return true;
    case kEventDirectoryChanged:
        pendingWatch_ = true;
        return true;
    case kEventRedraw:
        pendingRedraw_ = true;
        return true;
    default:
        return QDialog::event(e);
    }
}

void ViewWindow::RequestRedraw(bool rebuildCache)
{
    if (rebuildCache)
        InvalidateCache();
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kEventRedraw)));
}

void ViewWindow::CloseView(int code)
{
    if (IsModalView()) {
        QDialog::done(code);
        return;
    }
    if (closePosted_)
        return;
    closePosted_ = true;
    QObject* target = parentWidget() != nullptr ? static_cast<QObject*>(parentWidget()) : QCoreApplication::instance();
    QCoreApplication::postEvent(target, new GscViewMessage(GSC_VIEW_CLOSED_MAGIC, this));
}

void ViewWindow::accept()
{
    CloseView(QDialog::Accepted);
}

void ViewWindow::reject()
{
    CloseView(QDialog::Rejected);
}

void ViewWindow::closeEvent(QCloseEvent* e)
{
    if (IsModalView()) {
        QDialog::closeEvent(e);
        return;
    }
    e->ignore();
    CloseView(QDialog::Rejected);
}

void ViewWindow::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    pendingLayout_ = true;
}

void ViewWindow::contextMenuEvent(QContextMenuEvent* e)
{
    ShowContextMenu(e->globalPos());
}

// ---- zoom, layout, scrolling ----------------------------------------------

void ViewWindow::ZoomEdited(int value)
{
    const int z = ClampZoom(value);
    if (z != value) {
        zoomEdit_->setValue(z);
        return;
    }
    if (starting_)
        return;
    zoom_ = z;
    RecomputeLayout();
    area_->update();
}

void ViewWindow::RecomputeLayout()
{
    const Rect area{0, 0, area_->width(), area_->height()};
    layout_ = ComputeLayout(image_.width, image_.height, area, zoom_, layout_.source);
    UpdateScrollBars();
    if (panel_ != nullptr)
        panel_->Arrange(false);
}

void ViewWindow::UpdateScrollBars()
{
    hScroll_->blockSignals(true);
    vScroll_->blockSignals(true);
    hScroll_->setRange(0, std::max(layout_.hScrollMax, 0));
    vScroll_->setRange(0, std::max(layout_.vScrollMax, 0));
    hScroll_->setValue(layout_.source.left);
    vScroll_->setValue(layout_.source.top);
    hScroll_->blockSignals(false);
    vScroll_->blockSignals(false);
    hScroll_->setVisible(layout_.scrollBars);
    vScroll_->setVisible(layout_.scrollBars);
}

void ViewWindow::ScrollToPositions(int h, int v)
{
    layout_.source = ScrollTo(layout_, h, v);
    hScroll_->blockSignals(true);
    vScroll_->blockSignals(true);
    hScroll_->setValue(layout_.source.left);
    vScroll_->setValue(layout_.source.top);
    hScroll_->blockSignals(false);
    vScroll_->blockSignals(false);
    area_->update();
}

void ViewWindow::AreaResized()
{
    RecomputeLayout();
}

// ---- markers and moves ----------------------------------------------------

void ViewWindow::SetMarker(int x, int y)
{
    markerXEdit_->setValue(x);
    markerYEdit_->setValue(y);
    UpdateMarkerPanel();
    area_->update();
}

void ViewWindow::UpdateMarkerPanel()
{
    if (panel_ != nullptr)
        panel_->update();
}

void ViewWindow::MoveMarker(MoveCommand command)
{
    if (image_.Empty())
        return;
    const bool scroll = layout_.scrollBars;
    switch (command) {
    case MoveCommand::Left:
        markerXEdit_->setValue(0);
        if (scroll)
            ScrollToPositions(0, layout_.source.top);
        break;
    case MoveCommand::Top:
        markerYEdit_->setValue(0);
        if (scroll)
            ScrollToPositions(layout_.source.left, 0);
        break;
    case MoveCommand::HCenter:
        markerXEdit_->setValue(image_.width / 2);
        if (scroll)
            ScrollToPositions(layout_.hScrollMax / 2, layout_.source.top);
        break;
    case MoveCommand::VCenter:
        markerYEdit_->setValue(image_.height / 2);
        if (scroll)
            ScrollToPositions(layout_.source.left, layout_.vScrollMax / 2);
        break;
    case MoveCommand::Right:
        markerXEdit_->setValue(image_.width - 1);
        if (scroll)
            ScrollToPositions(LastScrollPosition(layout_.hScrollMax), layout_.source.top);
        break;
    case MoveCommand::Bottom:
        markerYEdit_->setValue(image_.height - 1);
        if (scroll)
            ScrollToPositions(layout_.source.left, LastScrollPosition(layout_.vScrollMax));
        break;
    }
    area_->update();
}

void ViewWindow::ClickAt(int px, int py)
{
    int x = 0;
    int y = 0;
    if (!ClientToPixel(layout_, px, py, &x, &y))
        return;
    SetMarker(x, y);
    (focusOnX_ ? markerXEdit_ : markerYEdit_)->setFocus();
    focusOnX_ = !focusOnX_;
}

void ViewWindow::PressAt(int px, int py)
{
    dragAnchor_ = QPoint(px, py);
    dragging_ = layout_.scrollBars;
    dragSource_ = layout_.source;
}

void ViewWindow::DragTo(int px, int py)
{
    if (!dragging_ || !layout_.scrollBars || layout_.destination.Width() <= 0 || layout_.destination.Height() <= 0)
        return;
    const double sx = static_cast<double>(layout_.source.Width()) / layout_.destination.Width();
    const double sy = static_cast<double>(layout_.source.Height()) / layout_.destination.Height();
    const int h = dragSource_.left - static_cast<int>((px - dragAnchor_.x()) * sx);
    const int v = dragSource_.top - static_cast<int>((py - dragAnchor_.y()) * sy);
    ScrollToPositions(h, v);
}

void ViewWindow::Wheel(int delta)
{
    const int notches = delta / 120;
    if (notches == 0)
        return;
    if (QApplication::focusWidget() == hScroll_)
        hScroll_->setValue(hScroll_->value() + notches);
    else if (QApplication::focusWidget() == vScroll_)
        vScroll_->setValue(vScroll_->value() - notches);
}

// ---- commands ----------------------------------------------------------------

bool ViewWindow::HandleFunctionKey(int key, bool ctrl)
{
    switch (key) {
    case Qt::Key_F1:
        ShowInformation(this, kHelpText);
        return true;
    case Qt::Key_F2:
    case Qt::Key_F3:
    case Qt::Key_F4:
    case Qt::Key_F5:
        markerCombo_->setCurrentIndex(key - Qt::Key_F2);
        if (key == Qt::Key_F2)
            area_->setFocus();
        return true;
    case Qt::Key_F6:
        MoveMarker(ctrl ? MoveCommand::Top : MoveCommand::Left);
        return true;
    case Qt::Key_F7:
        MoveMarker(ctrl ? MoveCommand::VCenter : MoveCommand::HCenter);
        return true;
    case Qt::Key_F8:
        MoveMarker(ctrl ? MoveCommand::Bottom : MoveCommand::Right);
        return true;
    case Qt::Key_F9:
        ShowContextMenu(mapToGlobal(QPoint(50, 0)));
        return true;
    case Qt::Key_F11:
        BpmMarkPrimary();
        return true;
    case Qt::Key_F12:
        BpmMarkSecondary();
        return true;
    default:
        return false;  // F10: ordinary processing
    }
}

void ViewWindow::SetDrawMode(int mode)
{
    if (mode < 0 || mode > 3)
        return;
    drawMode_ = mode;
    InvalidateCache();
    area_->update();
}

void ViewWindow::ToggleAutocomplete()
{
    Lib().flags.autocomplete = !Lib().flags.autocomplete;
}

void ViewWindow::ToggleFrameEdges()
{
    Lib().flags.frameEdges = !Lib().flags.frameEdges;
    area_->update();
}

bool ViewWindow::ExportBmp(const std::string& path)
{
    if (image_.Empty()) {
        ShowError(this, "There is no 16-bits image loaded");
        return false;
    }
    return WriteBmpFile(path, image_, BlackPoint(), WhitePoint());
}

void ViewWindow::DeleteSelected()
{
    std::vector<std::string> names;
    for (QListWidgetItem* item : fileList_->selectedItems()) {
        if (static_cast<int>(names.size()) >= kMaxDeleteNames)
            break;
        names.push_back(item->text().toStdString());
    }
    if (names.empty()) {
        ShowError(this, "No files selected");
        return;
    }
    const int n = static_cast<int>(names.size());
    if (!AskYesNo(this, platform::Format("Do you want to delete %d selected file%s ?", n, n == 1 ? "" : "s")))
        return;
    const std::string dir = platform::WithTrailingSlash(ListDirectory(mask_));
    int failed = 0;
    for (const auto& name : names) {
        if (dir + name == loadedPath_) {
            // The shown image stays in memory; only the file goes.
        }
        if (!platform::RemoveFile(dir + name))
            ++failed;
    }
    if (failed < n)
        pendingWatch_ = true;
    if (failed > 0)
        ShowError(this, platform::Format("Can't delete %d files of %d selected", failed, n));
}

void ViewWindow::OpenDefault()
{
    QListWidgetItem* item = fileList_->currentItem();
    if (item == nullptr)
        return;
    const std::string path = platform::WithTrailingSlash(ListDirectory(mask_)) + item->text().toStdString();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
        ShowError(this, "ShellExecute", errno);
}

void ViewWindow::Explore()
{
    const std::string dir = MaskDirectory(mask_).empty() ? std::string("./") : platform::ExpandHome(MaskDirectory(mask_));
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(dir)));
}

void ViewWindow::Browse()
{
    std::string upper = mask_;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const QString filters = "Raw files (*.raw);;Slice files (*.slice);;All files (*.*)";
    QString selected = "Raw files (*.raw)";
    if (upper.find("*.RAW") != std::string::npos)
        selected = "Raw files (*.raw)";
    else if (upper.find("*.SLICE") != std::string::npos)
        selected = "Slice files (*.slice)";
    else if (upper.find('.') != std::string::npos)
        selected = "All files (*.*)";
    QFileDialog dialog(this, "Select raw-file", QString::fromStdString(ListDirectory(mask_)), filters);
    dialog.selectNameFilter(selected);
    dialog.setDefaultSuffix("raw");
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    std::string chosen = dialog.selectedFiles().front().toStdString();
    std::string name = platform::FileNameOf(chosen);
    if (name.find('.') == std::string::npos) {
        chosen += ".raw";
        name += ".raw";
    }
    const std::string ext = name.substr(name.find_last_of('.'));
    mask_ = platform::WithTrailingSlash(platform::DirectoryOf(chosen)) + "*" + ext;
    platform::CopyTruncated(descriptor_.select, sizeof descriptor_.select, name);
    loadedPath_.clear();
    maskCombo_->blockSignals(true);
    maskCombo_->setEditText(QString::fromStdString(FormatMaskEntry(width_, height_, mask_)));
    maskCombo_->blockSignals(false);
    FillFileList();
}

void ViewWindow::UpdateBpmButton()
{
    const bool show = Lib().editor != nullptr && !image_.Empty() && MapHasSize(image_.width, image_.height);
    bpmButton_->setVisible(show);
}

void ViewWindow::ToggleBpmEditor()
{
    BpmEditor* editor = Lib().editor.get();
    if (editor == nullptr || image_.Empty() || !MapHasSize(image_.width, image_.height))
        return;
    editor->Toggle(this);
}

void ViewWindow::BpmMarkPrimary()
{
    if (MaskColoursShown())
        Lib().editor->MarkPrimary(MarkerX(), MarkerY());
}

void ViewWindow::BpmMarkSecondary()
{
    if (MaskColoursShown())
        Lib().editor->MarkSecondary(MarkerX(), MarkerY());
}

void ViewWindow::ShowContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    static const char* const kModes[] = {"Draw &Halftone", "Draw &Fast", "Draw keeps &Black", "Draw keeps &White"};
    for (int i = 0; i < 4; ++i) {
        QAction* a = menu.addAction(kModes[i], this, [this, i] { SetDrawMode(i); });
        a->setCheckable(true);
        a->setChecked(drawMode_ == i);
    }
    menu.addSeparator();
    menu.addAction("&Explore", this, &ViewWindow::Explore);
    QAction* autoAction = menu.addAction("File Dim. &Autocomplete", this, &ViewWindow::ToggleAutocomplete);
    autoAction->setCheckable(true);
    autoAction->setChecked(Lib().flags.autocomplete);
    const BpmDescriptor& bpm = Lib().bpm;
    if (MapHasSize(width_, height_) &&
        (bpm.cutLeft > 0 || bpm.cutTop > 0 || bpm.cutRight > 0 || bpm.cutBottom > 0)) {
        QAction* edges = menu.addAction("Display Frame's Edges", this, &ViewWindow::ToggleFrameEdges);
        edges->setCheckable(true);
        edges->setChecked(Lib().flags.frameEdges);
    }
    menu.addSeparator();
    QMenu* move = menu.addMenu("Move");
    move->addAction("Go left (F6)", this, [this] { MoveMarker(MoveCommand::Left); });
    move->addAction("Go top (ctrl+F6)", this, [this] { MoveMarker(MoveCommand::Top); });
    move->addAction("Hrz center (F7)", this, [this] { MoveMarker(MoveCommand::HCenter); });
    move->addAction("Vrt center (ctrl+F7)", this, [this] { MoveMarker(MoveCommand::VCenter); });
    move->addAction("Go right (F8)", this, [this] { MoveMarker(MoveCommand::Right); });
    move->addAction("Go bottom (ctrl+F8)", this, [this] { MoveMarker(MoveCommand::Bottom); });
    if (MaskColoursShown()) {
        menu.addAction("BPM mark primary (F11)", this, &ViewWindow::BpmMarkPrimary);
        menu.addAction("BPM mark secondary (F12)", this, &ViewWindow::BpmMarkSecondary);
    }
    menu.exec(globalPos);
}

// ---- painting ----------------------------------------------------------------

void ViewWindow::EnsureCache()
{
    const bool mask = MaskColoursShown();
    const int top = Lib().editor ? kTopLevelWithMask : kTopLevelPlain;
    const int black = BlackPoint();
    const int white = WhitePoint();
    const bool levelsStale = cacheForce_ || levels_.empty() || black != cacheBlack_ || white != cacheWhite_ ||
                             mask != cacheMask_ || (top == kTopLevelPlain) != cachePlain_;
    if (levelsStale) {
        MapGrey(image_, black, white, top, &levels_);
        if (mask)
            PaintMask(Lib().editor->Mask().Data(), image_.width, image_.height, levels_.data());
        cacheBlack_ = black;
        cacheWhite_ = white;
        cacheMask_ = mask;
        cacheForce_ = false;
        cachePlain_ = top == kTopLevelPlain;
        cacheState_ = 0;
    }
    const auto palette = GreyPalette(top == kTopLevelWithMask);
    QList<QRgb> colours;
    colours.reserve(256);
    for (std::uint32_t rgb : palette)
        colours.push_back(qRgb(static_cast<int>(rgb >> 16) & 255, static_cast<int>(rgb >> 8) & 255,
                               static_cast<int>(rgb) & 255));
    const int stride = PaddedRowBytes(image_.width);
    if (drawMode_ <= 1) {
        if (cacheState_ != 1) {
            // The device bitmap: the whole image, top row first, converted once.
            QImage indexed(image_.width, image_.height, QImage::Format_Indexed8);
            indexed.setColorTable(colours);
            for (int y = 0; y < image_.height; ++y)
                std::memcpy(indexed.scanLine(y), levels_.data() + static_cast<std::size_t>(image_.height - 1 - y) * stride,
                            image_.width);
            wholePixmap_ = QPixmap::fromImage(indexed.convertToFormat(QImage::Format_RGB32));
            cacheState_ = 1;
            regionImage_ = QImage();
        }
    } else {
        const Rect& s = layout_.source;
        const Rect& d = layout_.destination;
        if (cacheState_ != 2 || cacheMode_ != drawMode_ || !(cacheSource_ == s) || !(cacheDest_ == d)) {
            ReduceMinMax(levels_.data(), image_.width, image_.height, s, d.Width(), d.Height(),
                         drawMode_ == 2 ? Reduction::KeepDark : Reduction::KeepBright, &region_, &scratch_);
            regionImage_ = QImage(region_.data(), d.Width(), d.Height(), PaddedRowBytes(d.Width()),
                                  QImage::Format_Indexed8);
            regionImage_.setColorTable(colours);
            cacheSource_ = s;
            cacheDest_ = d;
            cacheState_ = 2;
            wholePixmap_ = QPixmap();
        }
    }
    cacheMode_ = drawMode_;
}

void ViewWindow::PaintImageArea(QPainter& painter)
{
    painter.fillRect(area_->rect(), QColor(128, 128, 128));
    if (image_.Empty() || layout_.destination.Width() <= 0 || layout_.destination.Height() <= 0)
        return;
    EnsureCache();
    const Rect& s = layout_.source;
    const Rect& d = layout_.destination;
    const QRect dest(d.left, d.top, d.Width(), d.Height());
    if (cacheState_ == 1) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, drawMode_ == 0);
        painter.drawPixmap(dest, wholePixmap_, QRect(s.left, s.top, s.Width(), s.Height()));
    } else if (cacheState_ == 2) {
        painter.drawImage(dest.topLeft(), regionImage_);
    }
    painter.setClipRect(dest);
    DrawOverlays(painter);
}

void ViewWindow::DrawOverlays(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    auto box = [this](int x0, int y0, int x1, int y1) {
        int l, t, r, b;
        PixelToClient(layout_, x0, y0, &l, &t);
        PixelToClient(layout_, x1, y1, &r, &b);
        return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
    };
    const MarkerShape shape = Marker();
    const int x = MarkerX();
    const int y = MarkerY();
    painter.setPen(QPen(QColor(0, 0, 255), 1));
    const Rect& d = layout_.destination;
    switch (shape.kind) {
    case MarkerKind::Row:
    case MarkerKind::Column: {
        const QRect cell = box(x, y, x + 1, y + 1);
        const QPoint c = cell.center();
        painter.drawLine(d.left, c.y(), d.right - 1, c.y());
        painter.drawLine(c.x(), d.top, c.x(), d.bottom - 1);
        break;
    }
    case MarkerKind::Surround: {
        const QRect r = box(x - kSurroundHalfWidth, y - kSurroundHalfHeight, x + kSurroundHalfWidth + 1,
                            y + kSurroundHalfHeight + 1);
        painter.drawRect(r);
        if (r.width() <= 7 || r.height() <= 7) {
            const QPoint c = r.center();
            painter.drawLine(c.x() - 4, c.y() - 4, c.x() + 4, c.y() + 4);
            painter.drawLine(c.x() - 4, c.y() + 4, c.x() + 4, c.y() - 4);
        }
        break;
    }
    case MarkerKind::Circle:
    case MarkerKind::Rectangle: {
        const int a = shape.kind == MarkerKind::Circle ? shape.radius : shape.a;
        const int b = shape.kind == MarkerKind::Circle ? shape.radius : shape.b;
        const QRect r = box(x - a, y - b, x + a + 1, y + b + 1);
        if (shape.kind == MarkerKind::Circle)
            painter.drawEllipse(r);
        else
            painter.drawRect(r);
        painter.drawLine(r.topLeft(), r.bottomRight());
        painter.drawLine(r.bottomLeft(), r.topRight());
        break;
    }
    case MarkerKind::None:
        break;
    }
    if (MaskColoursShown()) {
        const Segment& s = Lib().editor->Selection();
        const int lo = std::min(s.from, s.to);
        const int hi = std::max(s.from, s.to);
        const QRect r = s.byColumn ? box(s.line, lo, s.line + 1, hi + 1) : box(lo, s.line, hi + 1, s.line + 1);
        const QColor green(0, 255, 0);
        if (r.width() <= 1 || r.height() <= 1) {
            painter.setPen(green);
            painter.drawLine(r.topLeft(), r.bottomRight());
        } else {
            painter.setPen(green);
            painter.setBrush(QBrush(green, Qt::BDiagPattern));
            painter.drawRect(r);
            painter.setBrush(Qt::NoBrush);
        }
    }
    const BpmDescriptor& bpm = Lib().bpm;
    if (Lib().flags.frameEdges && (bpm.cutLeft != 0 || bpm.cutTop != 0 || bpm.cutRight != 0 || bpm.cutBottom != 0) &&
        MapHasSize(image_.width, image_.height)) {
        QPen pen(QColor(0, 0, 255));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(box(bpm.cutLeft, bpm.cutTop, image_.width - bpm.cutRight, image_.height - bpm.cutBottom));
    }
}

}  // namespace grayscope
