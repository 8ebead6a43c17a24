// The event a closed modeless view posts to its host (Qt hosts only).
//
// Type GSC_MSG_VIEW_CLOSED (11023, inside Qt's user event range); wParam is
// GSC_VIEW_CLOSED_MAGIC and lParam the view handle to pass to
// GSC_DestroyView. The event is delivered on the host's user-interface thread
// and owned by Qt's event queue.
#pragma once

#include <QEvent>

#include <cstdint>

#include "grayscope.h"

class GscViewMessage : public QEvent {
public:
    GscViewMessage(std::uint32_t w, void* l)
        : QEvent(static_cast<QEvent::Type>(GSC_MSG_VIEW_CLOSED)), wParam(w), lParam(l)
    {
    }
    std::uint32_t wParam;
    void* lParam;
};
