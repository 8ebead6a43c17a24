// ImageArea: the widget the view paints its image into; it forwards mouse
// input to the view (client coordinates of the area).
#pragma once

#include <QWidget>

namespace grayscope {

class ViewWindow;

class ImageArea : public QWidget {
    Q_OBJECT
public:
    ImageArea(ViewWindow* view, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    ViewWindow* view_;
};

}  // namespace grayscope
