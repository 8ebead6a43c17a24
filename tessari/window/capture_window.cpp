// The window only paints what banner_look.h computes and forwards events to
// the stage flow; every stage change runs here, in the window's thread.
#include "window/capture_window.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "platform/message_box.h"
#include "platform/text.h"
#include "signals/broadcast.h"
#include "window/banner_look.h"

namespace tessari {

namespace {

constexpr int kTimerMs = 35;
const QEvent::Type kStageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// A posted stage message: the number (0x0C00 ... 0x0C03) and its parameter.
class StageEvent : public QEvent {
public:
    StageEvent(int message, int param) : QEvent(kStageEvent), message(message), param(param) {}
    const int message;
    const int param;
};

QColor Rgb(std::uint32_t rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

CaptureWindow::CaptureWindow(const CaptureWindowSetup& setup, QWidget* parent) : QDialog(parent), setup_(setup)
{
    const KordexApi& api = *setup_.api;
    setWindowTitle(QString::fromStdString(
        platform::Format("Radiography frame %dx%d", setup_.request.frameWidth, setup_.request.frameHeight)));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    api.KX_IniProfSetSection("User Interface");
    for (int i = 0; i < kBannerTextCount; ++i) {
        const std::string key = platform::Format("msg%2.2d", kFirstBannerText + i);
        texts_[i] = QString::fromUtf8(api.KX_IniProfGetStr(key.c_str(), DefaultBannerText(kFirstBannerText + i)));
    }

    const QFontMetrics metrics(BannerFont());
    int widest = 0;
    for (int i = 0; i < kBannerTextCount - 1; ++i) widest = std::max(widest, metrics.horizontalAdvance(texts_[i]));
    setFixedSize(widest + kBannerExtraWidth, metrics.height() + kBannerExtraHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().topLeft());

    CaptureStages::Hooks hooks;
    hooks.post = [this](int message, int param) {
        QCoreApplication::postEvent(this, new StageEvent(message, param));
    };
    hooks.end = [this](int result) { done(result); };
    hooks.setTitle = [this](const std::string& title) { setWindowTitle(QString::fromStdString(title)); };
    hooks.window = static_cast<QWidget*>(this);
    stages_ = std::make_unique<CaptureStages>(api, setup_.request, setup_.frame, setup_.cut, *setup_.outputs,
                                              std::move(hooks));

    if (!setup_.cancelBroadcast.empty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected())
            bus.connect(QString(), kBroadcastPath, kBroadcastInterface, kBroadcastMember, this,
                        SLOT(OnBroadcast(QString, int, int)));
    }

    connect(&timer_, &QTimer::timeout, this, &CaptureWindow::OnTimer);
    timer_.start(kTimerMs);
    QCoreApplication::postEvent(this, new StageEvent(kMsgAcquisition, 0));
}

CaptureWindow::~CaptureWindow()
{
    timer_.stop();
    if (!setup_.cancelBroadcast.empty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected())
            bus.disconnect(QString(), kBroadcastPath, kBroadcastInterface, kBroadcastMember, this,
                           SLOT(OnBroadcast(QString, int, int)));
    }
    stages_.reset();
}

QFont CaptureWindow::BannerFont() const
{
    QFont font("TIMES NEW ROMAN");
    font.setPixelSize(20);
    font.setWeight(QFont::ExtraBold);
    return font;
}

bool CaptureWindow::event(QEvent* e)
{
    if (e->type() == kStageEvent) {
        const auto* stage = static_cast<StageEvent*>(e);
        // While the cancel question is open the run waits: its messages are
        // kept and handled once the answer is known.
        if (asking_)
            held_.emplace_back(stage->message, stage->param);
        else
            stages_->Handle(stage->message, stage->param);
        return true;
    }
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::event(e);
}

void CaptureWindow::reject()
{
    stages_->Cancel();
}

void CaptureWindow::OnTimer()
{
    highlight_ = (highlight_ + 1) % kHighlightPositions;
    update();
}

void CaptureWindow::OnBroadcast(const QString& name, int first, int second)
{
    if (name.toStdString() == setup_.cancelBroadcast && first == 0 && second == -1 && !stages_->Cancelled()) reject();
}

void CaptureWindow::paintEvent(QPaintEvent*)
{
    const DisplayState state = stages_->State();
    const BannerColours colours = BannerColoursFor(state);
    const QRect all = rect();
    QPainter p(this);
    p.fillRect(all, Rgb(colours.background));
    const int split = HighlightSplit(highlight_, all.width());
    p.fillRect(QRect(0, 0, split, all.height()), Rgb(colours.highlight));

    QLinearGradient upper(0, 0, 0, kBannerBandHeight);
    upper.setColorAt(0, Rgb(colours.upper));
    upper.setColorAt(1, Rgb(colours.background));
    p.fillRect(QRect(0, 0, all.width(), kBannerBandHeight), upper);
    QLinearGradient lower(0, all.height() - kBannerBandHeight, 0, all.height());
    lower.setColorAt(0, Rgb(colours.background));
    lower.setColorAt(1, Rgb(colours.lower));
    p.fillRect(QRect(0, all.height() - kBannerBandHeight, all.width(), kBannerBandHeight), lower);

    p.setPen(QPen(Rgb(colours.frame), 2));
    p.drawRect(all.adjusted(1, 1, -2, -2));
    p.setPen(QPen(Rgb(colours.frame), 1));
    p.drawRect(all.adjusted(5, 5, -6, -6));

    p.setFont(BannerFont());
    p.setPen(Rgb(colours.text));
    const int number = BannerTextNumber(state, setup_.request.darkFrame);
    p.drawText(all, Qt::AlignCenter, texts_[number - kFirstBannerText]);
}

void CaptureWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void CaptureWindow::mouseMoveEvent(QMouseEvent* e)
{
    if (dragging_ && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - dragOffset_);
}

void CaptureWindow::mouseDoubleClickEvent(QMouseEvent*)
{
    dragging_ = false;
    platform::MessageBoxRequest question;
    question.title = setup_.boxTitle;
    question.text = texts_[25 - kFirstBannerText].toStdString();
    question.icon = platform::BoxIcon::Question;
    question.buttons = platform::BoxButtons::YesNo;
    question.defaultAnswer = platform::BoxAnswer::No;
    question.parent = this;
    asking_ = true;
    const bool yes = platform::ShowMessageBox(question) == platform::BoxAnswer::Yes;
    asking_ = false;
    if (yes && !stages_->Cancelled()) reject();
    // The run goes on (after No) or ends (after Yes) with what arrived meanwhile.
    std::vector<std::pair<int, int>> held;
    held.swap(held_);
    for (const auto& [message, param] : held) stages_->Handle(message, param);
}

int RunCaptureWindow(CaptureWindow& window)
{
    return window.exec();
}

}  // namespace tessari
