#include "grayscope/ui/bpm_editor_window.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSpinBox>

#include "grayscope/ui/error_box.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/reversible_spin.h"
#include "grayscope/ui/view_window.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace grayscope {

// ---- BpmEditor ---------------------------------------------------------------

BpmEditor::BpmEditor() = default;

BpmEditor::~BpmEditor()
{
    ViewWindow* former = attached_.data();
    attached_ = nullptr;
    delete window_.data();
    if (former != nullptr)
        former->RequestRedraw(true);
}

bool BpmEditor::OnSegment(int x, int y) const
{
    const int lo = std::min(segment_.from, segment_.to);
    const int hi = std::max(segment_.from, segment_.to);
    return segment_.byColumn ? (x == segment_.line && y >= lo && y <= hi)
                             : (y == segment_.line && x >= lo && x <= hi);
}

void BpmEditor::Toggle(ViewWindow* view)
{
    if (attached_.data() == view && window_ && window_->isVisible())
        Detach();
    else
        Attach(view);
}

void BpmEditor::Attach(ViewWindow* view)
{
    if (attached_ && attached_.data() != view)
        attached_->RequestRedraw(true);
    attached_ = view;
    if (window_.isNull()) {
        // The maps are loaded first, so the window reads its saved selection
        // against the real map size.
        Reload();
        window_ = new BpmEditorWindow(this);
        window_->adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect work = screen->availableGeometry();
            const QSize size = window_->frameGeometry().size();
            window_->move(work.right() - 2 - size.width(), work.bottom() - 2 - size.height());
        }
    }
    window_->show();
    window_->raise();
    NotifyView(true);
}

void BpmEditor::Detach()
{
    if (window_)
        window_->hide();
    ViewWindow* former = attached_.data();
    attached_ = nullptr;
    if (former != nullptr)
        former->RequestRedraw(true);
}

void BpmEditor::CloseWindow()
{
    Detach();
    delete window_.data();
}

void BpmEditor::Reload()
{
    const BpmDescriptor& bpm = Lib().bpm;
    mask_.Load(bpm.directory, bpm.width, bpm.height);
    NotifyView(true);
}

void BpmEditor::Fill()
{
    if (window_)
        window_->ReadSelection();
    mask_.Fill(segment_, bad_);
    NotifyView(true);
}

void BpmEditor::Save()
{
    platform::FileError error;
    if (!mask_.SaveManual(Lib().bpm.directory, &error))
        ShowError(window_.data(),
                  platform::Format("Can't save %s", MapFilePath(Lib().bpm.directory, kManualMapName).c_str()),
                  error.code);
}

void BpmEditor::ClearAll()
{
    mask_.ClearManual();
    NotifyView(true);
}

void BpmEditor::ShowInfo()
{
    ShowInformation(window_.data(), mask_.InfoText());
}

void BpmEditor::MarkPrimary(int markerX, int markerY)
{
    grayscope::MarkPrimary(&segment_, markerX, markerY);
    if (window_)
        window_->ShowSelection(segment_);
    NotifyView(false);
}

void BpmEditor::MarkSecondary(int markerX, int markerY)
{
    grayscope::MarkSecondary(&segment_, markerX, markerY);
    if (window_)
        window_->ShowSelection(segment_);
    NotifyView(false);
}

void BpmEditor::SetSelection(const Segment& segment, bool bad)
{
    segment_ = segment;
    bad_ = bad;
    NotifyView(false);
}

void BpmEditor::NotifyView(bool rebuild)
{
    if (attached_)
        attached_->RequestRedraw(rebuild);
}

// ---- BpmEditorWindow -----------------------------------------------------------

BpmEditorWindow::BpmEditorWindow(BpmEditor* editor) : QDialog(nullptr), editor_(editor)
{
    setWindowTitle("Bad Pixels Mask");
    auto* grid = new QGridLayout(this);
    direction_ = new QComboBox(this);
    direction_->addItems({"row", "col"});
    mark_ = new QComboBox(this);
    mark_->addItems({"<0>-Good", "<1>-Bad"});
    line_ = new ReversibleSpin(this);
    from_ = new ReversibleSpin(this);
    to_ = new ReversibleSpin(this);
    ReversibleSpin* spins[3] = {line_, from_, to_};
    const char* labels[3] = {"Line", "From", "To"};
    grid->addWidget(new QLabel("Direction", this), 0, 0);
    grid->addWidget(direction_, 0, 1, 1, 4);
    static const char* const kInitial[3] = {"0", "m", "e"};
    for (int i = 0; i < 3; ++i) {
        spins[i]->setRange(-99999, 99999);
        grid->addWidget(new QLabel(labels[i], this), i + 1, 0);
        grid->addWidget(spins[i], i + 1, 1);
        for (int k = 0; k < 3; ++k) {
            presets_[i][k] = new QPushButton(kInitial[k], this);
            presets_[i][k]->setAutoDefault(false);
            presets_[i][k]->setFixedWidth(48);
            grid->addWidget(presets_[i][k], i + 1, 2 + k);
            ReversibleSpin* spin = spins[i];
            QPushButton* button = presets_[i][k];
            connect(button, &QPushButton::clicked, this, [spin, button] { spin->setValue(button->text().toInt()); });
        }
        connect(spins[i], &QSpinBox::valueChanged, this, [this] {
            if (ready_)
                ReadSelection();
        });
    }
    grid->addWidget(new QLabel("Pixel", this), 4, 0);
    grid->addWidget(mark_, 4, 1, 1, 4);
    fill_ = new QPushButton("&Fill", this);
    save_ = new QPushButton("&Save", this);
    auto* close = new QPushButton("OK", this);
    for (QPushButton* b : {fill_, save_, close})
        b->setAutoDefault(false);
    grid->addWidget(fill_, 5, 1);
    grid->addWidget(save_, 5, 2, 1, 2);
    grid->addWidget(close, 5, 4);
    connect(fill_, &QPushButton::clicked, this, [this] { editor_->Fill(); });
    connect(save_, &QPushButton::clicked, this, [this] { editor_->Save(); });
    connect(close, &QPushButton::clicked, this, &BpmEditorWindow::accept);
    connect(direction_, &QComboBox::currentIndexChanged, this, [this] {
        if (ready_)
            DirectionChanged();
    });
    connect(mark_, &QComboBox::currentIndexChanged, this, [this] {
        if (ready_)
            ReadSelection();
    });

    const BpmEditorSettings s = ReadBpmEditorSettings(Lib().settingsPath);
    direction_->setCurrentIndex(s.byCol);
    mark_->setCurrentIndex(s.bad);
    line_->setValue(s.line);
    from_->setValue(s.from);
    to_->setValue(s.to);
    UpdatePresets();
    ready_ = true;
    ReadSelection();
}

BpmEditorWindow::~BpmEditorWindow()
{
    BpmEditorSettings s;
    s.byCol = direction_->currentIndex();
    s.bad = mark_->currentIndex();
    s.line = line_->value();
    s.from = from_->value();
    s.to = to_->value();
    WriteBpmEditorSettings(Lib().settingsPath, s);
}

QSpinBox* BpmEditorWindow::LineEdit() const { return line_; }
QSpinBox* BpmEditorWindow::FromEdit() const { return from_; }
QSpinBox* BpmEditorWindow::ToEdit() const { return to_; }

void BpmEditorWindow::UpdatePresets()
{
    const bool byCol = direction_->currentIndex() == 1;
    const MaskBuffer& mask = editor_->Mask();
    const BpmDescriptor& bpm = Lib().bpm;
    const int lastLine = mask.Empty() ? (byCol ? bpm.width - 1 : bpm.height - 1) : mask.LastLine(byCol);
    const int lastIndex = mask.Empty() ? (byCol ? bpm.height - 1 : bpm.width - 1) : mask.LastIndex(byCol);
    const int ends[3] = {lastLine, lastIndex, lastIndex};
    for (int i = 0; i < 3; ++i) {
        presets_[i][0]->setText("0");
        presets_[i][1]->setText(QString::number(ends[i] / 2));
        presets_[i][2]->setText(QString::number(ends[i]));
    }
    // Rows: the line spin runs from L down to 0; columns: From / To from A down to 0.
    line_->SetReversed(!byCol);
    from_->SetReversed(byCol);
    to_->SetReversed(byCol);
}

void BpmEditorWindow::DirectionChanged()
{
    UpdatePresets();
    ReadSelection();
}

void BpmEditorWindow::ReadSelection()
{
    const bool byCol = direction_->currentIndex() == 1;
    const SelectionRead r = editor_->Mask().ReadSelection(byCol, line_->value(), from_->value(), to_->value());
    const bool wasReady = ready_;
    ready_ = false;
    if (r.lineChanged)
        line_->setValue(r.segment.line);
    if (r.fromChanged)
        from_->setValue(r.segment.from);
    if (r.toChanged)
        to_->setValue(r.segment.to);
    ready_ = wasReady;
    editor_->SetSelection(r.segment, mark_->currentIndex() == 1);
}

void BpmEditorWindow::ShowSelection(const Segment& segment)
{
    const bool wasReady = ready_;
    ready_ = false;
    line_->setValue(segment.line);
    from_->setValue(segment.from);
    to_->setValue(segment.to);
    ready_ = wasReady;
}

void BpmEditorWindow::ShowContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    menu.addAction("Reload", this, [this] { editor_->Reload(); });
    menu.addAction("Clear all", this, [this] { editor_->ClearAll(); });
    menu.addSeparator();
    menu.addAction("Info", this, [this] { editor_->ShowInfo(); });
    menu.exec(globalPos);
}

void BpmEditorWindow::contextMenuEvent(QContextMenuEvent* e)
{
    ShowContextMenu(e->globalPos());
}

bool BpmEditorWindow::HandleFunctionKey(int key, bool ctrl)
{
    if (key == Qt::Key_F9) {
        ShowContextMenu(mapToGlobal(QPoint(50, 0)));
        return true;
    }
    if (key == Qt::Key_F10)
        return false;
    if (ViewWindow* view = editor_->Attached())
        return view->HandleFunctionKey(key, ctrl);
    return false;
}

void BpmEditorWindow::accept()
{
    editor_->Detach();
}

void BpmEditorWindow::reject()
{
    editor_->Detach();
}

}  // namespace grayscope
