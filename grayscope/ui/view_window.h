// ViewWindow: one viewer window -- file list, mask history, grey-map edits,
// image area with markers and scroll bars, histogram and marker panel.
//
// Everything it shows is computed by the Qt-free functions of
// grayscope/view; this class keeps the state, wires the controls and paints.
// A modeless view posts GscViewMessage (type 11023) to its parent when the
// user closes it and waits for GSC_DestroyView; a modal one ends its dialog.
// Deferred work (layout, list refill, title and history after a load, redraw)
// is done by a 500 ms timer, as the events below request it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPointer>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "grayscope.h"
#include "grayscope/view/marker.h"
#include "grayscope/view/viewer_image.h"
#include "grayscope/view/viewer_settings.h"
#include "grayscope/view/zoom.h"
#include "platform/directory_watcher.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QTimer;

namespace grayscope {

class ImageArea;
class HistogramArea;
class MarkerPanel;

// Events a view posts to itself (the numbers name them).
enum ViewEvent : int {
    kEventStart = 0x0C00,             // deferred start
    kEventLayout = 0x0C00 + 0x10000,  // lay out again (the start message with wParam 1)
    kEventDirectoryChanged = 0x0C34,  // the watcher saw a burst of changes
    kEventRedraw = 0x0C35,            // redraw at the next tick (rebuild: discard the 8-bit cache)
};

enum class MoveCommand { Left, Top, HCenter, VCenter, Right, Bottom };

class ViewWindow : public QDialog {
    Q_OBJECT
public:
    ViewWindow(const ViewDescriptor& descriptor, QWidget* parent);
    ~ViewWindow() override;

    bool IsModalView() const { return descriptor_.modal != 0; }

    // State, for the painter and for tests.
    const ViewerImage& Image() const { return image_; }
    const ViewLayout& Layout() const { return layout_; }
    int FrameWidth() const { return width_; }
    int FrameHeight() const { return height_; }
    const std::string& Mask() const { return mask_; }
    const std::string& LoadedPath() const { return loadedPath_; }
    int Zoom() const { return zoom_; }
    int DrawMode() const { return drawMode_; }
    int MarkerX() const;
    int MarkerY() const;
    MarkerShape Marker() const { return DecodeMarker(markerCode_); }
    int BlackPoint() const;
    int WhitePoint() const;
    bool EditorAttachedHere() const;
    bool MaskColoursShown() const;
    const std::vector<std::string>& History() const { return settings_.history; }

    // Controls, for tests.
    QListWidget* FileList() const { return fileList_; }
    QComboBox* MaskCombo() const { return maskCombo_; }
    QSpinBox* ZoomEdit() const { return zoomEdit_; }
    QComboBox* MarkerCombo() const { return markerCombo_; }
    QPushButton* BpmButton() const { return bpmButton_; }
    ImageArea* Area() const { return area_; }
    MarkerPanel* Panel() const { return panel_; }
    HistogramArea* Histogram() const { return histogram_; }

    // Commands of the buttons, menu and keys.
    bool HandleFunctionKey(int key, bool ctrl);
    void SetDrawMode(int mode);
    void MoveMarker(MoveCommand command);
    void SetMarker(int x, int y);
    void ToggleAutocomplete();
    void ToggleFrameEdges();
    bool ExportBmp(const std::string& path);
    void DeleteSelected();
    void OpenDefault();
    void Explore();
    void Browse();
    void ToggleBpmEditor();
    void BpmMarkPrimary();
    void BpmMarkSecondary();
    void ShowContextMenu(const QPoint& globalPos);

    // Bad-pixel news from the library.
    void UpdateBpmButton();
    void RequestRedraw(bool rebuildCache);

    // The timer's deferred work (also run by tests instead of waiting).
    void OnTimer();

    // Painting and mouse of the image area (client coordinates of the area).
    void PaintImageArea(QPainter& painter);
    void ClickAt(int px, int py);
    void PressAt(int px, int py);
    void DragTo(int px, int py);
    void Wheel(int delta);
    void AreaResized();

    // OK and Cancel: a modeless view posts its close message, a modal one ends.
    void accept() override;
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void Construct();  // the constructor's work after the view is known as live
    void BuildControls();
    void ApplySettings();
    void StoreSettings();
    void FillFileList();
    void LoadSelected();
    void RefreshGreyMap();
    void UpdateTruncationControls();
    void RecomputeLayout();
    void UpdateScrollBars();
    void ScrollToPositions(int h, int v);
    void UpdateMarkerPanel();
    void UpdateHistoryEntry();
    void MaskEntryChosen(const QString& text);
    void ZoomEdited(int value);
    void UpdateTitle();
    void EnsureCache();
    void InvalidateCache() { cacheForce_ = true; }
    void DrawOverlays(QPainter& painter);
    void CloseView(int code);

    ViewDescriptor descriptor_{};
    ViewSettings settings_;
    bool starting_ = true;

    // Frame and file list.
    int width_ = 0;
    int height_ = 0;
    std::string mask_;
    std::string loadedPath_;
    ViewerImage image_;
    platform::DirectoryWatcher watcher_;

    // Grey map and display.
    int zoom_ = 1;
    int drawMode_ = 0;
    std::int32_t markerCode_ = 0;
    std::string markerText_;
    ViewLayout layout_;
    QPoint dragAnchor_;
    Rect dragSource_;
    bool dragging_ = false;
    bool focusOnX_ = true;

    // 8-bit cache.
    std::vector<std::uint8_t> levels_;
    std::vector<std::uint8_t> region_;
    std::vector<std::uint8_t> scratch_;
    QPixmap wholePixmap_;  // state 1
    QImage regionImage_;   // state 2 (the "keeps" draw modes)
    int cacheState_ = 0;
    int cacheBlack_ = INT_MIN;
    int cacheWhite_ = INT_MIN;
    int cacheMode_ = -1;
    bool cacheMask_ = false;
    bool cachePlain_ = true;
    Rect cacheSource_;
    Rect cacheDest_;
    bool cacheForce_ = true;

    // Deferred work for the timer.
    bool pendingLayout_ = false;
    bool pendingRefill_ = false;
    bool pendingTitle_ = false;
    bool pendingWatch_ = false;
    bool pendingRedraw_ = false;
    bool closePosted_ = false;
    std::string titleText_;

    // Controls.
    QTimer* timer_ = nullptr;
    QComboBox* maskCombo_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* bmpButton_ = nullptr;
    QPushButton* bpmButton_ = nullptr;
    QSpinBox* markerXEdit_ = nullptr;
    QSpinBox* markerYEdit_ = nullptr;
    QSpinBox* zoomEdit_ = nullptr;
    QComboBox* markerCombo_ = nullptr;
    QCheckBox* truncCheck_ = nullptr;
    QSpinBox* blackEdit_ = nullptr;
    QSpinBox* whiteEdit_ = nullptr;
    QSpinBox* truncBlackEdit_ = nullptr;
    QSpinBox* truncWhiteEdit_ = nullptr;
    QSpinBox* histMinEdit_ = nullptr;
    QSpinBox* histMaxEdit_ = nullptr;
    QSpinBox* histScaleEdit_ = nullptr;
    ImageArea* area_ = nullptr;
    QScrollBar* hScroll_ = nullptr;
    QScrollBar* vScroll_ = nullptr;
    HistogramArea* histogram_ = nullptr;
    MarkerPanel* panel_ = nullptr;

    friend class HistogramArea;
    friend class MarkerPanel;
};

}  // namespace grayscope
