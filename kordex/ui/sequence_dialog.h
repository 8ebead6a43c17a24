// SequenceDialog: what both get-image windows share -- a modal dialog that
// owns a GetImageSequence, takes its posted messages in its own thread,
// registers it with the report router while it runs and closes whatever is
// still open when it goes away.
#pragma once

#include <QDialog>

#include <memory>

#include "ui/get_image_sequence.h"

namespace kordex::ui {

class SequenceDialog : public QDialog, public SequenceHost {
public:
    SequenceDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}
    ~SequenceDialog() override;

    GetImageSequence& Sequence() { return *sequence_; }
    const GetImageSequence& Sequence() const { return *sequence_; }
    // Runs the dialog modally; 1 or 2. A second window while one runs gets 2
    // at once (with an error log line).
    int Run();

    // SequenceHost, shared part
    void Post(int message, int parameter) override;
    void ScheduleCancelTry(int tryNumber) override;

protected:
    // Called by the window's constructor once the sequence can be made.
    void SetSequence(std::unique_ptr<GetImageSequence> sequence) { sequence_ = std::move(sequence); }
    // Stops the window's timers (before it ends or goes away).
    virtual void StopTimers() {}
    // Just before exec(): start what the window shows while it runs.
    virtual void Starting() {}
    bool event(QEvent* event) override;

private:
    std::unique_ptr<GetImageSequence> sequence_;
    bool attached_ = false;
};

}  // namespace kordex::ui
