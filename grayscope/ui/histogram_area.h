// HistogramArea: paints the view's histogram panel -- value axis with ticks,
// resampled bars, and max / ave / med / min of the image.
#pragma once

#include <QWidget>

namespace grayscope {

class ViewWindow;

class HistogramArea : public QWidget {
    Q_OBJECT
public:
    HistogramArea(ViewWindow* view, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    ViewWindow* view_;
};

}  // namespace grayscope
