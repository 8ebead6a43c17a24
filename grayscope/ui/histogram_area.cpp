#include "grayscope/ui/histogram_area.h"

#include <QPainter>
#include <QSpinBox>

#include "grayscope/ui/view_window.h"
#include "grayscope/view/histogram_plot.h"

namespace grayscope {

namespace {
constexpr int kAxisX = 44;  // the value axis; tick labels left of it
}

HistogramArea::HistogramArea(ViewWindow* view, QWidget* parent) : QWidget(parent), view_(view)
{
    setMinimumSize(160, 120);
}

void HistogramArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 220, 200));
    const ViewerImage& image = view_->Image();
    const HistogramRange range =
        EffectiveRange(view_->histMinEdit_->value(), view_->histMaxEdit_->value(), view_->histScaleEdit_->value());
    const int n = height() - 24;
    const int bottom = height() - 1;
    if (n < 2)
        return;
    // Axis and ticks, about one per 35 pixels.
    p.setPen(QColor(30, 30, 30));
    p.drawLine(kAxisX, HistogramY(range.max, range, n, bottom), kAxisX, HistogramY(range.min, range, n, bottom));
    const TickSteps ticks = ChooseTicks(range.min, range.max, n / 35);
    QFont font("Arial");
    font.setPixelSize(10);
    p.setFont(font);
    for (long long v = ticks.first; v <= ticks.last; v += ticks.step) {
        if (v < range.min || v > range.max)
            continue;
        const int y = HistogramY(static_cast<int>(v), range, n, bottom);
        p.drawLine(kAxisX - 6, y, kAxisX, y);
        p.save();
        p.translate(kAxisX - 8, y);
        p.rotate(-90);
        p.drawText(QRect(-30, -12, 60, 12), Qt::AlignCenter, QString::number(v));
        p.restore();
        if (ticks.step > 4)
            for (int k = 1; k < 5; ++k) {
                const long long m = v + ticks.step * k / 5;
                if (m <= range.max) {
                    const int ym = HistogramY(static_cast<int>(m), range, n, bottom);
                    p.drawLine(kAxisX - 3, ym, kAxisX, ym);
                }
            }
    }
    if (image.Empty())
        return;
    // Bars.
    const int plotWidth = width() - kAxisX - 2;
    const auto rows = ResampleHistogram(image, range.min, range.max, n);
    p.setPen(QColor(128, 128, 128));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (rows[i] == 0)
            continue;
        const int len = std::min(BarLength(rows[i], plotWidth, image.PixelCount(), range.scale), plotWidth);
        const int y = bottom - i - 13;
        p.drawLine(kAxisX + 1, y, kAxisX + 1 + len, y);
    }
    // Statistics in two columns at the right.
    QFont labelFont("Arial");
    labelFont.setPixelSize(14);
    p.setFont(labelFont);
    p.setPen(QColor(190, 0, 0));
    const QRect labels(width() - 110, 4, 40, 70);
    p.drawText(labels, Qt::AlignLeft | Qt::AlignTop, "max\nave\nmed\nmin");
    labelFont.setBold(true);
    p.setFont(labelFont);
    p.drawText(QRect(width() - 68, 4, 66, 70), Qt::AlignLeft | Qt::AlignTop,
               QString::asprintf("%d\n%.1f\n%d\n%d", image.max, static_cast<double>(image.mean), image.median,
                                 image.min));
}

}  // namespace grayscope
