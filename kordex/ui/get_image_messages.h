// The messages a get-image window posts to itself. Reports arrive on worker
// threads; they only post these, and every stage change runs in the window's
// own thread when the message is taken. The numbers are the window's message
// numbers, kept so the flow can be followed in logs and debuggers.
#pragma once

namespace kordex::ui {

enum GetImageMessage : int {
    kMsgAcquisition = 0x0C00,  // parameter 0: start the acquisition stage; 1: it finished
    kMsgCalibration = 0x0C01,  // parameter 0: start the calibration stage; 1: it finished
    kMsgProcessing = 0x0C02,   // parameter 0: start the processing stage; 1: it finished
    kMsgBannerEnd = 0x0C03,    // banner window: end the window
    kMsgPreviewEnd = 0x36C8,   // preview window: end the window
    kMsgPercent = 0x36C9,      // preview window: show the percentage given as parameter
    // Window-internal messages of this implementation.
    kMsgCancel = 0x36D0,       // Cancel command (KX_GetImageCancel); parameter: the try, 0..2
    kMsgLines = 0x36D1,        // preview window: acquired data up to the raw line given
    kMsgRedraw = 0x36D2,       // preview window: redraw from the image being corrected
};

}  // namespace kordex::ui
