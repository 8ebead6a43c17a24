// The banner window: draws the display state the sequence keeps and forwards
// the user's cancel.
#include "ui/banner_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "frame/library.h"
#include "platform/message_box.h"
#include "ui/banner_layout.h"

namespace kordex::ui {

namespace {

QColor Colour(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}

}  // namespace

QFont BannerWindow::StateFont()
{
    QFont font(QStringLiteral("TIMES NEW ROMAN"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(20);
    font.setWeight(QFont::ExtraBold);  // 800
    return font;
}

BannerWindow::BannerWindow(QWidget* parent, int x, int y, const StageSettings& stages,
                           const FrameGeometry& geometry, StageDriver& driver)
    : SequenceDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    SetSequence(std::make_unique<GetImageSequence>(WindowKind::Banner, stages, geometry, driver, *this));
    setWindowTitle(QString::fromUtf8(kLibraryTitle));
    setModal(true);
    for (int code = 20; code <= 24; ++code) texts_ << QString::fromStdString(driver.Message(code));

    const QFontMetrics metrics(StateFont());
    int widest = 0;
    for (const QString& text : texts_) widest = std::max(widest, metrics.horizontalAdvance(text));
    const int width = BannerWidth(widest);
    const int height = BannerHeight(metrics.height());
    setFixedSize(width, height);

    std::optional<Rect> parentRect;
    if (parent != nullptr) {
        const QRect r = parent->frameGeometry();
        parentRect = Rect{r.x(), r.y(), r.width(), r.height()};
    }
    QSize screen(0, 0);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    const Point p = BannerPosition(x, y, parentRect, screen.width(), screen.height(), width, height);
    move(p.x, p.y);

    sweep_.setInterval(50);
    connect(&sweep_, &QTimer::timeout, this, [this] {
        highlight_ = NextHighlight(highlight_);
        update();
    });
}

BannerWindow::~BannerWindow()
{
    StopTimers();
}

QString BannerWindow::StateText() const
{
    const GetImageSequence& sequence = Sequence();
    const int code = BannerStateText(sequence.BannerStateNow(), (sequence.Stages().acquisition.flags & 1) != 0);
    return texts_.value(code - 20);
}

void BannerWindow::SetTitle(const std::string& title)
{
    setWindowTitle(QString::fromStdString(title));
}

void BannerWindow::End(int result)
{
    StopTimers();
    done(result);
}

void BannerWindow::StateChanged()
{
    // Any thread: the sweep timer repaints with the new state.
}

void BannerWindow::reject()
{
    // Escape and closing the window act as Cancel; the sequence ends the
    // window once the running stage has stopped.
    Sequence().RequestCancel();
}

void BannerWindow::paintEvent(QPaintEvent*)
{
    const BannerColours& c = BannerStateColours(Sequence().BannerStateNow());
    QPainter painter(this);
    const int w = width(), h = height();
    const int band = 16;
    const int lit = HighlightWidth(highlight_, w);

    painter.fillRect(QRect(0, band, w, h - 2 * band), Colour(c.body));
    painter.fillRect(QRect(0, band, lit, h - 2 * band), Colour(c.bodyLit));
    QLinearGradient upper(0, 0, 0, band);
    upper.setColorAt(0, Colour(c.upper));
    upper.setColorAt(1, Colour(c.body));
    painter.fillRect(QRect(0, 0, w, band), upper);
    QLinearGradient lower(0, h - band, 0, h);
    lower.setColorAt(0, Colour(c.body));
    lower.setColorAt(1, Colour(c.lower));
    painter.fillRect(QRect(0, h - band, w, band), lower);

    painter.setFont(StateFont());
    const QString text = StateText();
    painter.setPen(Colour(c.text));
    painter.setClipRect(QRect(lit, 0, w - lit, h));
    painter.drawText(rect(), Qt::AlignCenter, text);
    painter.setPen(Colour(c.textLit));
    painter.setClipRect(QRect(0, 0, lit, h));
    painter.drawText(rect(), Qt::AlignCenter, text);
    painter.setClipping(false);

    painter.setPen(QPen(Colour(c.frame), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, w - 1, h - 1);
    painter.drawRect(3, 3, w - 7, h - 7);
}

void BannerWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void BannerWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragOffset_);
    else dragging_ = false;
    QDialog::mouseMoveEvent(event);
}

void BannerWindow::mouseDoubleClickEvent(QMouseEvent*)
{
    dragging_ = false;
    platform::MessageBoxRequest request;
    request.title = kLibraryTitle;
    request.text = Lib().messages.Text(kMsgCancelQuestion);
    request.icon = platform::BoxIcon::Question;
    request.buttons = platform::BoxButtons::YesNo;
    request.defaultAnswer = platform::BoxAnswer::No;
    request.parent = this;
    if (platform::ShowMessageBox(request) == platform::BoxAnswer::Yes) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &escape);
    }
}

}  // namespace kordex::ui
