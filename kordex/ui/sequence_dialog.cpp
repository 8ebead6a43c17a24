// The shared frame of the get-image windows.
#include "ui/sequence_dialog.h"

#include <QTimer>

#include "frame/library.h"
#include "ui/report_router.h"
#include "ui/sequence_event.h"

namespace kordex::ui {

SequenceDialog::~SequenceDialog()
{
    // The derived window has already stopped its timers; the stages are
    // closed while reports may still be posted here, then no report can
    // reach this window any more.
    sequence_->CloseAll();
    if (attached_) Router().Detach(sequence_.get());
}

int SequenceDialog::Run()
{
    if (!Router().Attach(sequence_.get())) {
        Lib().log.Error("Get-image window already running", 0);
        return 2;
    }
    attached_ = true;
    Starting();
    sequence_->Start();
    return exec() == 1 ? 1 : 2;
}

void SequenceDialog::Post(int message, int parameter)
{
    PostSequenceEvent(this, message, parameter);
}

void SequenceDialog::ScheduleCancelTry(int tryNumber)
{
    QTimer::singleShot(25, this, [this, tryNumber] { Post(kMsgCancel, tryNumber); });
}

bool SequenceDialog::event(QEvent* event)
{
    if (auto* message = dynamic_cast<SequenceEvent*>(event)) {
        sequence_->Handle(message->Message(), message->Parameter());
        return true;
    }
    return QDialog::event(event);
}

}  // namespace kordex::ui
