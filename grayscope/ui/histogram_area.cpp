#include "grayscope/ui/histogram_area.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QSpinBox>

#include <algorithm>

#include "grayscope/ui/view_window.h"
#include "grayscope/view/histogram_plot.h"

namespace grayscope {

namespace {
constexpr int kAxisX = 44;  // the value axis; tick labels left of it
}

StatisticsBlock LayOutStatistics(const QFont& font, const QSize& area, int left, const QString& labels,
                                 const QString& values)
{
    constexpr int kMargin = 4;
    StatisticsBlock b;
    b.flags = Qt::AlignLeft | Qt::AlignTop;
    const int availableWidth = area.width() - left - 2 * kMargin;
    const int availableHeight = area.height() - 2 * kMargin;
    QFont f = font;
    int pixels = QFontInfo(font).pixelSize();
    QSize labelSize, valueSize;
    int gap = 0;
    // Measure; when the block does not fit, shrink the font in proportion
    // and measure again (the metrics do not scale exactly with the size).
    for (;;) {
        f.setPixelSize(std::max(pixels, kMinStatisticsPixels));
        QFont bold = f;
        bold.setBold(true);
        const QFontMetrics lm(f);
        const QFontMetrics vm(bold);
        labelSize = lm.boundingRect(QRect(0, 0, 1 << 16, 1 << 16), b.flags, labels).size();
        valueSize = vm.boundingRect(QRect(0, 0, 1 << 16, 1 << 16), b.flags, values).size();
        gap = std::max(lm.horizontalAdvance(QLatin1Char(' ')), 2);
        b.labelFont = f;
        b.valueFont = bold;
        const int w = labelSize.width() + gap + valueSize.width();
        const int h = std::max(labelSize.height(), valueSize.height());
        if ((w <= availableWidth && h <= availableHeight) || f.pixelSize() <= kMinStatisticsPixels)
            break;
        const double scale = std::min(static_cast<double>(std::max(availableWidth, 1)) / w,
                                      static_cast<double>(std::max(availableHeight, 1)) / h);
        pixels = std::min(f.pixelSize() - 1, static_cast<int>(f.pixelSize() * scale));
    }
    b.values = QRect(QPoint(area.width() - kMargin - valueSize.width(), kMargin), valueSize);
    b.labels = QRect(QPoint(b.values.left() - gap - labelSize.width(), kMargin), labelSize);
    return b;
}

HistogramArea::HistogramArea(ViewWindow* view, QWidget* parent) : QWidget(parent), view_(view)
{
    setMinimumSize(160, 120);
    QFont statistics("Arial");
    statistics.setPixelSize(14);
    setFont(statistics);
}

QString HistogramArea::StatisticsLabels() const
{
    return view_->Image().Empty() ? QString() : QStringLiteral("max\nave\nmed\nmin");
}

QString HistogramArea::StatisticsValues() const
{
    const ViewerImage& image = view_->Image();
    if (image.Empty())
        return {};
    return QString::asprintf("%d\n%.1f\n%d\n%d", image.max, static_cast<double>(image.mean), image.median, image.min);
}

StatisticsBlock HistogramArea::Statistics() const
{
    return LayOutStatistics(font(), size(), kAxisX, StatisticsLabels(), StatisticsValues());
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
    // Statistics in two columns at the right, dark red.
    const StatisticsBlock block = Statistics();
    p.setPen(QColor(190, 0, 0));
    p.setFont(block.labelFont);
    p.drawText(block.labels, block.flags, StatisticsLabels());
    p.setFont(block.valueFont);
    p.drawText(block.values, block.flags, StatisticsValues());
}

}  // namespace grayscope
