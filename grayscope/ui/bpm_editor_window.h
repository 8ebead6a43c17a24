// The bad-pixel mask editor: BpmEditor (one per library, created by
// GSC_SetBPM) holds the mask buffer, the segment selection and the view it is
// attached to; BpmEditorWindow is its window, created when first shown
// (placed at the bottom right of the screen's work area, no owner) and
// hidden, not destroyed, when detached.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QPushButton>

#include <memory>

#include "grayscope/bpm/mask_buffer.h"

class QComboBox;
class QSpinBox;

namespace grayscope {

class ViewWindow;
class BpmEditorWindow;

class BpmEditor {
public:
    BpmEditor();
    ~BpmEditor();

    const MaskBuffer& Mask() const { return mask_; }
    MaskBuffer& MutableMask() { return mask_; }
    const Segment& Selection() const { return segment_; }
    ViewWindow* Attached() const { return attached_.data(); }
    BpmEditorWindow* Window() const { return window_.data(); }

    // True when pixel (x, y) lies on the selected segment.
    bool OnSegment(int x, int y) const;

    // Shows the editor for view (detaching it from any other) or, when it is
    // attached to view already, hides it.
    void Toggle(ViewWindow* view);
    void Attach(ViewWindow* view);
    // Hides the window and detaches; the former view redraws with its cache rebuilt.
    void Detach();

    // Detaches and destroys the window (which writes the editor's settings);
    // the next showing makes a new one.
    void CloseWindow();

    // Loads both maps from the descriptor's directory; the view redraws.
    void Reload();
    void Fill();
    void Save();
    void ClearAll();
    void ShowInfo();

    // Marking from the attached view.
    void MarkPrimary(int markerX, int markerY);
    void MarkSecondary(int markerX, int markerY);

    // Selection as the window edits it (after the reading rules).
    void SetSelection(const Segment& segment, bool bad);
    bool MarkBad() const { return bad_; }

private:
    void NotifyView(bool rebuild);

    MaskBuffer mask_;
    Segment segment_;
    bool bad_ = false;
    QPointer<ViewWindow> attached_;
    QPointer<BpmEditorWindow> window_;
};

class ReversibleSpin;

class BpmEditorWindow : public QDialog {
    Q_OBJECT
public:
    explicit BpmEditorWindow(BpmEditor* editor);
    ~BpmEditorWindow() override;

    bool HandleFunctionKey(int key, bool ctrl);
    // Reads the edits with the selection rules and writes corrected values back.
    void ReadSelection();
    // Shows a segment in the edits.
    void ShowSelection(const Segment& segment);
    void ShowContextMenu(const QPoint& globalPos);

    QComboBox* DirectionCombo() const { return direction_; }
    QComboBox* MarkCombo() const { return mark_; }
    QSpinBox* LineEdit() const;
    QSpinBox* FromEdit() const;
    QSpinBox* ToEdit() const;
    QPushButton* FillButton() const { return fill_; }
    QPushButton* SaveButton() const { return save_; }

    // OK and Cancel hide the window and detach the editor.
    void accept() override;
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void DirectionChanged();
    void UpdatePresets();

    BpmEditor* editor_;
    bool ready_ = false;
    QComboBox* direction_ = nullptr;
    QComboBox* mark_ = nullptr;
    ReversibleSpin* line_ = nullptr;
    ReversibleSpin* from_ = nullptr;
    ReversibleSpin* to_ = nullptr;
    QPushButton* presets_[3][3] = {};
    QPushButton* fill_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace grayscope
