// The preview get-image window: Qt widgets around the stage machine and the
// preview picture, both computed elsewhere; this file only lays out, draws
// and forwards.
#include "ui/get_image_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>

#include <mutex>

#include "frame/library.h"
#include "frame/message_table.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kordex::ui {

namespace {

// Normal-mode layout (pixels).
constexpr QRect kPreviewArea(10, 10, 344, 460);
constexpr QRect kControlPanel(364, 8, 150, 464);
constexpr int kDialogWidth = 524;
constexpr int kDialogHeight = 480;

std::mutex& ObserverMutex()
{
    static std::mutex mutex;
    return mutex;
}

GetImageWindow::EndObserver& Observer()
{
    static GetImageWindow::EndObserver observer;
    return observer;
}

// The preview area: a plain widget that the window paints.
class AreaWidget final : public QWidget {
public:
    AreaWidget(GetImageWindow* window, QWidget* parent) : QWidget(parent), window_(window) {}

protected:
    void paintEvent(QPaintEvent*) override { window_->PaintArea(this); }

private:
    GetImageWindow* window_;
};

// A caption from [User Interface]: "Acq<control>", the built-in text
// written back when missing.
QString Caption(int control, const char* builtIn)
{
    platform::ProfileFile profile(Lib().profile.Path());
    profile.SetSection(kUserInterfaceSection);
    const std::string key = platform::Format("%s%d", "Acq", control);
    return QString::fromStdString(profile.ReadStringWriteBack(key, builtIn));
}

}  // namespace

void GetImageWindow::SetEndObserver(EndObserver observer)
{
    std::lock_guard<std::mutex> lock(ObserverMutex());
    Observer() = std::move(observer);
}

GetImageWindow::GetImageWindow(QWidget* parent, int x, int y, int width, int height, const StageSettings& stages,
                               const FrameGeometry& geometry, StageDriver& driver)
    : SequenceDialog(parent, Qt::Dialog), stages_(stages), embedded_(IsEmbedded(x, y, width, height))
{
    SetSequence(std::make_unique<GetImageSequence>(WindowKind::Preview, stages, geometry, driver, *this));
    setModal(true);
    setWindowTitle(QString::fromUtf8(kLibraryTitle));
    area_ = new AreaWidget(this, this);
    if (embedded_)
        BuildEmbedded(parent, x, y, width, height);
    else
        BuildNormal(x, y);
    preview_.Reset(geometry, area_->width(), area_->height());
    rendered_.assign(static_cast<std::size_t>(preview_.Stride()) * preview_.Height(), 0);

    shotTimer_.setInterval(150);
    connect(&shotTimer_, &QTimer::timeout, area_, [this] { area_->update(); });
    progressTimer_.setInterval(250);
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        if (progress_ != nullptr) progress_->setValue(progress_->value() >= 15 ? 0 : progress_->value() + 1);
    });
}

void GetImageWindow::BuildNormal(int x, int y)
{
    setFixedSize(kDialogWidth, kDialogHeight);
    area_->setGeometry(kPreviewArea);
    const char* builtIn[3] = {"3% Min", "3% Max", "Rows"};
    for (int i = 0; i < 3; ++i) {
        labels_[i] = new QLabel(Caption(4301 + i, builtIn[i]), this);
        labels_[i]->setGeometry(kControlPanel.x() + 16, 24 + i * 64, 118, 20);
        boxes_[i] = new QLineEdit(this);
        boxes_[i]->setReadOnly(true);
        boxes_[i]->setFocusPolicy(Qt::NoFocus);
        boxes_[i]->setGeometry(kControlPanel.x() + 16, 46 + i * 64, 118, 24);
    }
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 15);
    progress_->setTextVisible(false);
    progress_->setGeometry(kControlPanel.x() + 16, 230, 118, 18);
    progress_->hide();
    cancel_ = new QPushButton(Caption(2, "Cancel"), this);
    cancel_->setGeometry(kControlPanel.x() + 16, kControlPanel.bottom() - 48, 118, 32);
    connect(cancel_, &QPushButton::clicked, this, [this] { Sequence().RequestCancel(); });
    if (x >= 0 && y >= 0) move(x, y);
}

void GetImageWindow::BuildEmbedded(QWidget* parent, int x, int y, int width, int height)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    const QPoint at = parent != nullptr ? parent->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
    setGeometry(at.x(), at.y(), width, height);
    setFixedSize(width, height);
    area_->setGeometry(0, 0, width, height);
}

GetImageWindow::~GetImageWindow()
{
    StopTimers();
}

void GetImageWindow::StopTimers()
{
    shotTimer_.stop();
    progressTimer_.stop();
}

// ---------------------------------------------------------------- host

void GetImageWindow::SetTitle(const std::string& title)
{
    const QString text = QString::fromStdString(title);
    titles_ << text;
    setWindowTitle(text);
}

void GetImageWindow::End(int result)
{
    StopTimers();
    EndObserver observer;
    {
        std::lock_guard<std::mutex> lock(ObserverMutex());
        observer = Observer();
    }
    if (observer) observer(*this);
    done(result);
}

void GetImageWindow::ClearPreview()
{
    preview_.Clear();
    PreviewChanged();
}

void GetImageWindow::StartShotTimer()
{
    waitStart_.start();
    if (!embedded_) shotTimer_.start();
}

void GetImageWindow::StopShotTimer()
{
    if (shotTimer_.isActive()) {
        shotTimer_.stop();
        area_->update();
    }
}

void GetImageWindow::ShowStageProgress()
{
    if (embedded_) return;
    progress_->setRange(0, 15);
    progress_->setValue(0);
    progress_->show();
    progressTimer_.start();
    for (int i = 0; i < 3; ++i) {
        labels_[i]->hide();
        boxes_[i]->hide();
    }
    update();
}

void GetImageWindow::DrawImage(const std::int16_t* image, bool frameSized)
{
    if (frameSized)
        preview_.DrawFrame(image);
    else
        preview_.DrawCutImage(image);
    PreviewChanged();
}

void GetImageWindow::DrawLines(int /*lastRawLine*/)
{
    preview_.DrawAcquiredLines(stages_.acquisition.frame);
    PreviewChanged();
}

void GetImageWindow::DisableCancel()
{
    if (cancel_ != nullptr) cancel_->setEnabled(false);
}

void GetImageWindow::PreviewChanged()
{
    ++draws_;
    preview_.Render(rendered_.data());
    if (!embedded_ && preview_.Count() > 0) {
        boxes_[0]->setText(QString::number(preview_.Lowest()));
        boxes_[1]->setText(QString::number(preview_.Highest()));
    }
    area_->update();
}

QImage GetImageWindow::PreviewPicture() const
{
    // The rendered rows are stored bottom row first.
    const QImage bottomUp(rendered_.data(), preview_.Width(), preview_.Height(), preview_.Stride(),
                          QImage::Format_Grayscale8);
    return bottomUp.mirrored(false, true);
}

// ---------------------------------------------------------------- events and drawing

void GetImageWindow::reject()
{
    // Escape and closing the window act as Cancel, unless Cancel has been
    // locked because image data arrives.
    if (cancel_ != nullptr && !cancel_->isEnabled()) return;
    Sequence().RequestCancel();
}

void GetImageWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (embedded_) {
        painter.fillRect(rect(), palette().button());
        return;
    }
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, QColor(120, 120, 125));
    gradient.setColorAt(1, QColor(220, 220, 225));
    painter.fillRect(rect(), gradient);
    if (cancel_->isVisible()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(90, 90, 95));
        painter.setBrush(QColor(235, 235, 240));
        painter.drawRoundedRect(kControlPanel, 20, 20);
    }
}

void GetImageWindow::PaintArea(QWidget* area)
{
    QPainter painter(area);
    const QRect r = area->rect();
    if (shotTimer_.isActive()) {
        painter.fillRect(r, Qt::black);
        const qint64 ms = waitStart_.isValid() ? waitStart_.elapsed() : 0;
        const std::string text = platform::Format("%2.2d:%2.2d.%2.2d", static_cast<int>(ms / 60000),
                                                  static_cast<int>(ms / 1000 % 60), static_cast<int>(ms / 10 % 100));
        QFont font = painter.font();
        font.setPixelSize(28);
        painter.setFont(font);
        painter.setPen(QColor(160, 160, 160));
        painter.drawText(r, Qt::AlignCenter, QString::fromStdString(text));
        return;
    }
    if (embedded_) painter.fillRect(r, area->palette().button());
    if (preview_.Count() == 0) return;
    const QImage picture = PreviewPicture();
    if (embedded_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(r, picture);
    } else {
        const QPoint at((r.width() - picture.width()) / 2, (r.height() - picture.height()) / 2);
        painter.drawImage(at, picture);
    }
}

}  // namespace kordex::ui
