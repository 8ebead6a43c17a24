// CaptureWindow: Tessari's banner. It shows the state texts in large bold
// letters with a moving highlight, runs the capture stages (capture_stages.h)
// on events it posts to itself, and cancels on the Cancel command, Escape, a
// confirmed double click or the final broadcast message with parameters
// (0, -1) sent by another program. The left mouse button drags it.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/capture_stages.h"
#include "window/banner_look.h"

namespace tessari {

struct CaptureWindowSetup {
    const KordexApi* api = nullptr;
    CaptureRequest request;
    std::int16_t* frame = nullptr;
    std::int16_t* cut = nullptr;
    CaptureOutputs* outputs = nullptr;
    std::string cancelBroadcast;  // Final_BroadcastMsg; empty = not listened for
    std::string boxTitle;         // caption of the question box
};

class CaptureWindow : public QDialog {
    Q_OBJECT
public:
    explicit CaptureWindow(const CaptureWindowSetup& setup, QWidget* parent = nullptr);
    ~CaptureWindow() override;

    CaptureStages& Stages() { return *stages_; }
    // The highlight position 0..141 (for the screenshot script and tests).
    void SetHighlightPosition(int position) { highlight_ = position; }

public slots:
    void reject() override;  // Escape and the window's close: cancel

private slots:
    void OnTimer();
    void OnBroadcast(const QString& name, int first, int second);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QFont BannerFont() const;

    CaptureWindowSetup setup_;
    std::unique_ptr<CaptureStages> stages_;
    std::array<QString, kBannerTextCount> texts_;  // msg20 ... msg25
    QTimer timer_;
    int highlight_ = 0;
    QPoint dragOffset_;
    bool dragging_ = false;
    bool asking_ = false;                      // the cancel question is open
    std::vector<std::pair<int, int>> held_;    // stage messages that came meanwhile
};

// Runs the modal window; 1 when every stage succeeded, else 2.
int RunCaptureWindow(CaptureWindow& window);

}  // namespace tessari
