#include "grayscope/ui/marker_panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>

#include <algorithm>

#include "grayscope/bpm/mask_buffer.h"
#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/view_window.h"
#include "grayscope/view/histogram_plot.h"
#include "grayscope/view/marker.h"

namespace grayscope {

namespace {

constexpr int kTemplateWidth = 300;
constexpr int kTemplateHeight = 220;
constexpr int kTextTop = 4;
constexpr int kLine = 14;

QSpinBox* MakeSpin(QWidget* parent, int lo, int hi, const char* tip)
{
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setToolTip(tip);
    s->setFixedWidth(70);
    return s;
}

}  // namespace

MarkerPanel::MarkerPanel(ViewWindow* view, QWidget* area) : QFrame(area), view_(view)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setCursor(Qt::SizeAllCursor);
    setAutoFillBackground(true);
    minEdit_ = MakeSpin(this, -65535, 65535, "Min");
    maxEdit_ = MakeSpin(this, -65535, 65535, "Max");
    firstEdit_ = MakeSpin(this, 0, 0, "First pixel index");
    lastEdit_ = MakeSpin(this, 0, 0, "Last pixel index");
    for (QSpinBox* s : {minEdit_, maxEdit_, firstEdit_, lastEdit_})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            update();
            view_->UpdateMarkerPanel();
        });
}

int MarkerPanel::First() const { return firstEdit_->value(); }
int MarkerPanel::Last() const { return lastEdit_->value(); }
int MarkerPanel::ProfileMin() const { return minEdit_->value(); }
int MarkerPanel::ProfileMax() const { return maxEdit_->value(); }

void MarkerPanel::SetProfileRange(int min, int max)
{
    minEdit_->setValue(min);
    maxEdit_->setValue(max);
}

void MarkerPanel::Arrange(bool resetIndices)
{
    const MarkerShape shape = view_->Marker();
    QWidget* area = parentWidget();
    const bool chart = shape.kind == MarkerKind::Row || shape.kind == MarkerKind::Column;
    QSize size(kTemplateWidth, kTemplateHeight);
    if (shape.kind == MarkerKind::Row)
        size = QSize(std::max(area->width(), 200), 200);
    else if (shape.kind == MarkerKind::Column)
        size = QSize(260, std::max(area->height(), 200));
    else if (shape.kind == MarkerKind::Surround)
        size = QSize(kTemplateWidth * 3 / 2, kTemplateHeight + 20);
    else
        size = QSize(kTemplateWidth * 525 / 1000 + 40, kTemplateHeight / 2 + 14);
    resize(size);
    for (QSpinBox* s : {minEdit_, maxEdit_, firstEdit_, lastEdit_})
        s->setVisible(chart);
    if (chart) {
        const int length = shape.kind == MarkerKind::Row ? view_->Image().width : view_->Image().height;
        firstEdit_->setRange(0, std::max(length - 1, 0));
        lastEdit_->setRange(0, std::max(length - 1, 0));
        if (resetIndices) {
            firstEdit_->setValue(0);
            lastEdit_->setValue(std::max(length - 1, 0));
        }
        const int y = height() - 26;
        minEdit_->move(width() - 300, y);
        maxEdit_->move(width() - 225, y);
        firstEdit_->move(width() - 150, y);
        lastEdit_->move(width() - 75, y);
        if (shape.kind == MarkerKind::Column) {
            minEdit_->move(4, height() - 56);
            maxEdit_->move(80, height() - 56);
            firstEdit_->move(4, height() - 28);
            lastEdit_->move(80, height() - 28);
        }
    }
    if (!dragged_ || chart) {
        move(std::max(area->width() - width(), 0), 0);
    } else {
        // A panel the user dragged stays where it is, as far as it fits.
        move(std::clamp(x(), 0, std::max(area->width() - width(), 0)),
             std::clamp(y(), 0, std::max(area->height() - height(), 0)));
    }
    update();
}

void MarkerPanel::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        dragOffset_ = e->position().toPoint();
}

void MarkerPanel::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton) {
        move(mapToParent(e->position().toPoint() - dragOffset_));
        dragged_ = true;
    }
}

void MarkerPanel::paintEvent(QPaintEvent* e)
{
    QFrame::paintEvent(e);
    QPainter p(this);
    const ViewerImage& image = view_->Image();
    const MarkerShape shape = view_->Marker();
    const int x = view_->MarkerX();
    const int y = view_->MarkerY();
    QFont font("Arial");
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::black);
    const MarkerStatistics s = ComputeMarkerStatistics(image, shape, x, y, First(), Last());
    const QString title = QString::fromStdString(MarkerTitle(image, shape, x, y, s.count));
    const QString header = QString::fromStdString(MarkerHeader(x, y));
    const bool oneLine = shape.kind == MarkerKind::Row || shape.kind == MarkerKind::Column || title.isEmpty();
    p.drawText(6, kTextTop + 11, oneLine ? (title.isEmpty() ? header : title + "   " + header) : title);
    if (image.Empty())
        return;
    const auto lines = StatisticsLines(image, shape, s);
    if (!oneLine)
        p.drawText(6, kTextTop + 11 + kLine, header);
    if (shape.kind == MarkerKind::Surround) {
        PaintTable(p, QRect(6, kTextTop + 18, width() - 12, height() - kTextTop - 22));
        return;
    }
    int ty = kTextTop + 11 + kLine;
    if (shape.kind == MarkerKind::Row) {
        QString row;
        for (const auto& l : lines)
            row += QString::fromStdString(l) + "   ";
        p.drawText(6, ty, row);
        PaintChart(p, QRect(0, ty + 4, width(), height() - ty - 34));
        return;
    }
    if (shape.kind == MarkerKind::Column) {
        for (const auto& l : lines) {
            p.drawText(6, ty, QString::fromStdString(l));
            ty += kLine;
        }
        PaintChart(p, QRect(0, ty, width(), height() - ty - 60));
        return;
    }
    ty += kLine;
    for (const auto& l : lines) {
        p.drawText(6, ty, QString::fromStdString(l));
        ty += kLine;
    }
}

void MarkerPanel::PaintChart(QPainter& p, const QRect& r)
{
    const MarkerShape shape = view_->Marker();
    const bool vertical = shape.kind == MarkerKind::Column;
    const std::vector<int> samples = Profile(view_->Image(), shape.kind, view_->MarkerX(), view_->MarkerY());
    // Chart margins: 35 left, 10 top, 15 bottom; the column chart is turned (17, 38, 10).
    const QRect plot = vertical ? r.adjusted(38, 17, -10, -10) : r.adjusted(35, 10, -10, -15);
    p.fillRect(r, QColor(0, 220, 200));
    int first = std::max(First(), 0);
    int last = std::min(Last(), static_cast<int>(samples.size()) - 1);
    if (last < first)
        last = first;
    const int count = last - first + 1;
    if (samples.size() < 4 || count < 1 || plot.width() < 4 || plot.height() < 4)
        return;
    int vmin = ProfileMin();
    int vmax = ProfileMax();
    if (vmax <= vmin)
        vmax = vmin + 1;
    const int indexLength = vertical ? plot.height() : plot.width();
    const int valueLength = vertical ? plot.width() : plot.height();
    auto valuePos = [&](double v) {
        const double t = std::clamp((v - vmin) / (vmax - vmin), 0.0, 1.0);
        return static_cast<int>(t * (valueLength - 1));
    };
    auto toPoint = [&](int index, int value) {
        return vertical ? QPoint(plot.left() + value, plot.top() + index)
                        : QPoint(plot.left() + index, plot.bottom() - value);
    };
    // Grid with labels: about 5 on the value axis, one per 40 pixels on the index axis.
    QPen grid(QColor(60, 60, 60));
    grid.setStyle(Qt::DotLine);
    QFont font("Arial");
    font.setPixelSize(9);
    p.setFont(font);
    const TickSteps vt = ChooseTicks(vmin, vmax, 5);
    for (long long v = vt.first; v <= vt.last; v += vt.step) {
        if (v < vmin || v > vmax)
            continue;
        const int pos = valuePos(static_cast<double>(v));
        p.setPen(grid);
        p.drawLine(toPoint(0, pos), toPoint(indexLength - 1, pos));
        p.setPen(Qt::black);
        const QPoint at = toPoint(0, pos);
        if (vertical)
            p.drawText(at.x() - 12, r.top() + 12, QString::number(v));
        else
            p.drawText(r.left() + 2, at.y() + 4, QString::number(v));
    }
    const TickSteps it = ChooseTicks(first, last, std::max(indexLength / 40, 1));
    for (long long i = it.first; i <= it.last; i += it.step) {
        if (i < first || i > last)
            continue;
        const int pos = static_cast<int>(static_cast<double>(i - first) * (indexLength - 1) / std::max(count - 1, 1));
        p.setPen(grid);
        p.drawLine(toPoint(pos, 0), toPoint(pos, valueLength - 1));
        p.setPen(Qt::black);
        const QPoint at = toPoint(pos, 0);
        if (vertical)
            p.drawText(r.left() + 2, at.y() + 4, QString::number(i));
        else
            p.drawText(at.x() - 8, r.bottom() - 2, QString::number(i));
    }
    // The profile: samples on the same chart column averaged, area below filled grey.
    QPoint previous;
    for (int c = 0; c < indexLength; ++c) {
        const long long a = first + static_cast<long long>(c) * count / indexLength;
        long long b = first + static_cast<long long>(c + 1) * count / indexLength;
        if (b <= a)
            b = a + 1;
        double sum = 0;
        for (long long i = a; i < b; ++i)
            sum += samples[static_cast<std::size_t>(i)];
        const int pos = valuePos(sum / static_cast<double>(b - a));
        p.setPen(QColor(160, 160, 160));
        p.drawLine(toPoint(c, 0), toPoint(c, pos));
        p.setPen(Qt::black);
        const QPoint pt = toPoint(c, pos);
        if (c > 0)
            p.drawLine(previous, pt);
        previous = pt;
    }
    // The marker's position along the profile.
    const int marker = vertical ? view_->MarkerY() : view_->MarkerX();
    if (marker >= first && marker <= last) {
        const int pos = static_cast<int>(static_cast<double>(marker - first) * (indexLength - 1) / std::max(count - 1, 1));
        p.setPen(QColor(0, 0, 255));
        p.drawLine(toPoint(pos, 0), toPoint(pos, valueLength - 1));
    }
}

void MarkerPanel::PaintTable(QPainter& p, const QRect& r)
{
    const ViewerImage& image = view_->Image();
    const int x = view_->MarkerX();
    const int y = view_->MarkerY();
    const int cellW = r.width() / (2 * kSurroundHalfWidth + 2);
    const int cellH = r.height() / (2 * kSurroundHalfHeight + 2);
    BpmEditor* editor = Lib().editor.get();
    const bool colours = view_->MaskColoursShown() && editor != nullptr;
    p.setPen(Qt::darkGray);
    for (int i = -kSurroundHalfWidth; i <= kSurroundHalfWidth; ++i)
        if (x + i >= 0 && x + i < image.width)
            p.drawText(QRect(r.left() + (i + kSurroundHalfWidth + 1) * cellW, r.top(), cellW, cellH),
                       Qt::AlignCenter, QString::number(x + i));
    for (int j = -kSurroundHalfHeight; j <= kSurroundHalfHeight; ++j) {
        const int yy = y + j;
        if (yy < 0 || yy >= image.height)
            continue;
        const int top = r.top() + (j + kSurroundHalfHeight + 1) * cellH;
        p.setPen(Qt::darkGray);
        p.drawText(QRect(r.left(), top, cellW, cellH), Qt::AlignCenter, QString::number(yy));
        for (int i = -kSurroundHalfWidth; i <= kSurroundHalfWidth; ++i) {
            const int xx = x + i;
            if (xx < 0 || xx >= image.width)
                continue;
            QColor colour = Qt::black;
            if (colours) {
                const std::uint8_t bits = editor->Mask().At(xx, yy);
                if (editor->OnSegment(xx, yy))
                    colour = QColor(0, 255, 0);
                else if (bits & kMaskManual)
                    colour = QColor(255, 0, 255);
                else if (bits & kMaskAuto)
                    colour = QColor(128, 0, 128);
            }
            p.setPen(colour);
            p.drawText(QRect(r.left() + (i + kSurroundHalfWidth + 1) * cellW, top, cellW, cellH), Qt::AlignCenter,
                       QString::number(image.At(xx, yy)));
        }
    }
}

}  // namespace grayscope
