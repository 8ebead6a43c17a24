// MarkerPanel: the small panel inside the image area that shows the
// marker's statistics -- with a profile chart (row and column modes), the
// surround table, or statistics only (circle and rectangle). It can be
// dragged with the left mouse button and starts at the top right of the area.
#pragma once

#include <QFrame>

class QSpinBox;

namespace grayscope {

class ViewWindow;

class MarkerPanel : public QFrame {
    Q_OBJECT
public:
    MarkerPanel(ViewWindow* view, QWidget* area);

    // Sizes and shows the controls for the current marker mode; resetIndices
    // sets First and Last to 0 and length - 1 (when the mode is chosen).
    void Arrange(bool resetIndices);
    int First() const;
    int Last() const;
    int ProfileMin() const;
    int ProfileMax() const;
    void SetProfileRange(int min, int max);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void PaintChart(class QPainter& p, const QRect& r);
    void PaintTable(class QPainter& p, const QRect& r);

    ViewWindow* view_;
    QSpinBox* minEdit_;
    QSpinBox* maxEdit_;
    QSpinBox* firstEdit_;
    QSpinBox* lastEdit_;
    QPoint dragOffset_;
    bool dragged_ = false;  // a panel the user moved keeps its place
};

}  // namespace grayscope
