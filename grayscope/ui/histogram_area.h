// HistogramArea: paints the view's histogram panel -- value axis with ticks,
// resampled bars, and max / ave / med / min of the image.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

namespace grayscope {

class ViewWindow;

// Where the statistics texts go: the labels ("max\nave\nmed\nmin") in
// labelFont, the values in valueFont (the bold face of the same font), both
// drawn with `flags`.
struct StatisticsBlock {
    QFont labelFont;
    QFont valueFont;
    QRect labels;
    QRect values;
    int flags = 0;
};

// Lays the two statistics columns out at the top right of an area of `area`
// pixels, right of x = `left` (the value axis). The rectangles are measured
// from the texts with the font's metrics, so each text fits its rectangle
// whatever the font's family and size. A font too large for the area is
// scaled down until the block fits (not below kMinStatisticsPixels).
inline constexpr int kMinStatisticsPixels = 6;
StatisticsBlock LayOutStatistics(const QFont& font, const QSize& area, int left, const QString& labels,
                                 const QString& values);

class HistogramArea : public QWidget {
    Q_OBJECT
public:
    // The statistics are written in the widget's font, Arial 14 pixels unless
    // the host sets another with setFont().
    HistogramArea(ViewWindow* view, QWidget* parent);

    // The statistics texts of the view's image and their layout in this
    // area (empty texts without an image).
    QString StatisticsLabels() const;
    QString StatisticsValues() const;
    StatisticsBlock Statistics() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    ViewWindow* view_;
};

}  // namespace grayscope
