// A scripted stand-in for the detector library's exports, for the tests of
// the stage flow and the window: every stage starts and reports at once (or,
// with waitForShot, the acquisition waits until it is aborted), and every
// call is recorded.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_stages.h"

namespace tessari::scripted {

// The scripted library: every stage starts and reports synchronously.
struct Script {
    bool connectFails = false;
    const char* acquisitionError = nullptr;  // reported instead of the frame
    bool waitForShot = false;                // nothing after the start report
    std::vector<std::string> calls;
    AcqStatus acq{};
    CalibrationJob cal{};
    ProcessingJob ip{};
};
inline Script g;

inline AcqStatus* Connect(int32_t flags, KX_Callback cb, void* ctx, int16_t*, int32_t)
{
    g.calls.push_back("connect " + std::to_string(flags));
    if (g.connectFails) return nullptr;
    g.acq = AcqStatus{};
    g.acq.callback = cb;
    g.acq.context = ctx;
    return &g.acq;
}
inline void Report(AcqStatus& a, int kind, int event, int progress, const char* text = "")
{
    a.kind = kind;
    a.event = event;
    a.progress = progress;
    std::strncpy(a.text, text, sizeof a.text - 1);
    if (a.callback) a.callback(&a);
}
inline int32_t StartFrame(AcqStatus* a)
{
    g.calls.push_back("start");
    Report(*a, KX_REPORT_INFO, KX_EVENT_PROGRESS, 0);
    if (g.waitForShot) return 1;
    if (g.acquisitionError) {
        Report(*a, KX_REPORT_ERROR, KX_EVENT_MESSAGE, 0, g.acquisitionError);
        return 1;
    }
    Report(*a, KX_REPORT_INFO, KX_EVENT_DATA, 50);
    Report(*a, KX_REPORT_INFO, KX_EVENT_PROGRESS, 255);
    return 1;
}
inline int32_t AcqAbort(AcqStatus* a)
{
    g.calls.push_back("abort acquisition");
    Report(*a, KX_REPORT_ERROR, KX_EVENT_ABORTED, 0, "Abort acquisition");
    return 1;
}
inline void AcqClose(AcqStatus*) { g.calls.push_back("close acquisition"); }
inline CalibrationJob* CalProcess(uint32_t flags, KX_Callback cb, void*, int16_t*)
{
    g.calls.push_back("calibrate " + std::to_string(flags));
    g.cal = CalibrationJob{};
    g.cal.code = KX_EVENT_PROGRESS;
    g.cal.callback = cb;
    cb(&g.cal);
    g.cal.progress = 255;
    if (g.cal.callback) g.cal.callback(&g.cal);
    return &g.cal;
}
inline void CalClose(CalibrationJob*) { g.calls.push_back("close calibration"); }
inline int16_t* Cut(const int16_t*, int16_t* d)
{
    g.calls.push_back("cut");
    return d;
}
inline ProcessingJob* IpProcess(int32_t, KX_Callback cb, void*, int16_t*, int32_t mode)
{
    g.calls.push_back("process " + std::to_string(mode));
    g.ip = ProcessingJob{};
    g.ip.code = KX_EVENT_PROGRESS;
    g.ip.progress = 255;
    g.ip.callback = cb;
    cb(&g.ip);
    return &g.ip;
}
inline void IpClose(ProcessingJob*) { g.calls.push_back("close processing"); }

inline void SetSection(const char*) {}
inline const char* GetStr(const char*, const char* defaultText)
{
    return defaultText != nullptr ? defaultText : "";
}

inline KordexApi ScriptedApi()
{
    KordexApi api;
    api.KX_IniProfSetSection = SetSection;
    api.KX_IniProfGetStr = GetStr;
    api.KXACQ_Connect = Connect;
    api.KXACQ_StartFrame = StartFrame;
    api.KXACQ_Abort = AcqAbort;
    api.KXACQ_Close = AcqClose;
    api.KXC_Process = CalProcess;
    api.KXC_Close = CalClose;
    api.KXC_CutImage = Cut;
    api.KXIP_Process = IpProcess;
    api.KXIP_Close = IpClose;
    return api;
}

// Records what the flow writes.
struct Outputs : CaptureOutputs {
    std::vector<std::string> written;
    void WriteRaw(const std::string& name, const std::int16_t*, int w, int h) override
    {
        written.push_back(name + " " + std::to_string(w) + "x" + std::to_string(h));
    }
    void WriteImage(const std::int16_t*, int, int, const std::vector<std::string>& calibrationNotes) override
    {
        written.push_back("image");
        notes = calibrationNotes;
    }
    std::vector<std::string> notes;
};

}  // namespace tessari::scripted
