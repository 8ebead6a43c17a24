// BannerWindow: the compact get-image window of KX_GetImageA. It has no
// controls; it shows the state of the sequence in large text over coloured
// bands, with a highlight that sweeps across it every 50 ms. The user drags
// it with the left button; a double click asks "Do you want to cancel?".
// Escape cancels.
#pragma once

#include <QFont>
#include <QPoint>
#include <QStringList>
#include <QTimer>

#include "ui/sequence_dialog.h"

namespace kordex::ui {

class BannerWindow final : public SequenceDialog {
public:
    // parent: the caller's window or null; (x, y) as for KX_GetImageA.
    BannerWindow(QWidget* parent, int x, int y, const StageSettings& stages, const FrameGeometry& geometry,
                 StageDriver& driver);
    ~BannerWindow() override;

    int HighlightPosition() const { return highlight_; }
    // The text of the current display state.
    QString StateText() const;

    // The font of the state texts: 20-pixel bold (weight 800) "TIMES NEW ROMAN".
    static QFont StateFont();

    // SequenceHost
    void SetTitle(const std::string& title) override;
    void End(int result) override;
    void StateChanged() override;

protected:
    void StopTimers() override { sweep_.stop(); }
    void Starting() override { sweep_.start(); }
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void reject() override;

private:
    QStringList texts_;  // message texts 20..24
    QTimer sweep_;
    int highlight_ = 0;
    QPoint dragOffset_;
    bool dragging_ = false;
};

}  // namespace kordex::ui
