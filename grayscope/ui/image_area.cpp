#include "grayscope/ui/image_area.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "grayscope/ui/view_window.h"

namespace grayscope {

ImageArea::ImageArea(ViewWindow* view, QWidget* parent) : QWidget(parent), view_(view)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(64, 64);
}

void ImageArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    view_->PaintImageArea(painter);
}

void ImageArea::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        const QPoint p = e->position().toPoint();
        view_->ClickAt(p.x(), p.y());
        view_->PressAt(p.x(), p.y());
    }
}

void ImageArea::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton) {
        const QPoint p = e->position().toPoint();
        view_->DragTo(p.x(), p.y());
    }
}

void ImageArea::wheelEvent(QWheelEvent* e)
{
    view_->Wheel(e->angleDelta().y());
}

void ImageArea::resizeEvent(QResizeEvent*)
{
    view_->AreaResized();
}

void ImageArea::contextMenuEvent(QContextMenuEvent* e)
{
    view_->ShowContextMenu(e->globalPos());
}

}  // namespace grayscope
