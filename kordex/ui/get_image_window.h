// GetImageWindow: the preview get-image window of KX_GetImage and
// KX_GetImageSP.
//
// Normal mode is a dialog with the preview area, the value boxes "3% Min",
// "3% Max" and "Rows", a progress bar and Cancel; while it waits for the
// X-ray shot it shows the time since the start in the preview area (150 ms
// timer). Embedded mode is a borderless window at the caller's rectangle
// whose preview area fills it, without controls. The preview draws the frame
// line by line as it arrives, then the image being calibrated and processed.
// Captions come from [User Interface] ("Acq4301", "Acq4302", "Acq4303",
// "Acq2"; the built-in text is written back when a key is missing).
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

#include "ui/preview_image.h"
#include "ui/sequence_dialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kordex::ui {

class GetImageWindow final : public SequenceDialog {
public:
    // parent: the caller's window or null; x, y, width, height as for
    // KX_GetImageSP (embedded when all four are given, x and y >= 0).
    GetImageWindow(QWidget* parent, int x, int y, int width, int height, const StageSettings& stages,
                   const FrameGeometry& geometry, StageDriver& driver);
    ~GetImageWindow() override;

    // True for the embedded (borderless) mode.
    static bool IsEmbedded(int x, int y, int width, int height) { return x >= 0 && y >= 0 && width > 0 && height > 0; }

    // Called with the window just before it ends (tests look at it there).
    using EndObserver = std::function<void(GetImageWindow&)>;
    static void SetEndObserver(EndObserver observer);

    const PreviewImage& Preview() const { return preview_; }
    bool Embedded() const { return embedded_; }
    const QStringList& TitlesShown() const { return titles_; }
    int PreviewDraws() const { return draws_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QLineEdit* ValueBox(int i) const { return boxes_[i]; }
    QLabel* ValueLabel(int i) const { return labels_[i]; }
    QWidget* PreviewArea() const { return area_; }
    // The rendered preview (8-bit grey, top row first).
    QImage PreviewPicture() const;
    // Paints the preview area (its widget forwards here).
    void PaintArea(QWidget* area);

    // SequenceHost
    void SetTitle(const std::string& title) override;
    void End(int result) override;
    void ClearPreview() override;
    void StartShotTimer() override;
    void StopShotTimer() override;
    void ShowStageProgress() override;
    void DrawImage(const std::int16_t* image, bool frameSized) override;
    void DrawLines(int lastRawLine) override;
    void DisableCancel() override;

protected:
    void StopTimers() override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

private:
    void BuildNormal(int x, int y);
    void BuildEmbedded(QWidget* parent, int x, int y, int width, int height);
    void PreviewChanged();

    const StageSettings stages_;
    bool embedded_ = false;
    PreviewImage preview_;
    std::vector<std::uint8_t> rendered_;
    QWidget* area_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* labels_[3] = {};
    QLineEdit* boxes_[3] = {};
    QProgressBar* progress_ = nullptr;
    QTimer shotTimer_;
    QTimer progressTimer_;
    QElapsedTimer waitStart_;
    QStringList titles_;
    int draws_ = 0;
};

}  // namespace kordex::ui
