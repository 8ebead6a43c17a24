// SequenceEvent: one posted get-image message as a Qt event. Its event type
// is QEvent::User + the message number, so 0x0C00 is the type User + 0x0C00.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include "ui/get_image_messages.h"

namespace kordex::ui {

class SequenceEvent : public QEvent {
public:
    SequenceEvent(int message, int parameter)
        : QEvent(static_cast<QEvent::Type>(QEvent::User + message)), message_(message), parameter_(parameter)
    {
    }
    int Message() const { return message_; }
    int Parameter() const { return parameter_; }

private:
    int message_;
    int parameter_;
};

// Posts message to receiver's thread (any thread may call it).
inline void PostSequenceEvent(QObject* receiver, int message, int parameter)
{
    QCoreApplication::postEvent(receiver, new SequenceEvent(message, parameter));
}

}  // namespace kordex::ui
