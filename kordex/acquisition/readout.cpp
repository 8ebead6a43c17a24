// The read-out thread. The order of its steps is the device protocol:
// queue, fill with 0x8000, start report, pages in order, dump, cancel,
// final report, quiet period, closing requests.
#include "acquisition/readout.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "acquisition/acquisition_session.h"
#include "acquisition/sensor_link.h"
#include "acquisition/time_constants.h"
#include "acquisition/transport_dump.h"
#include "acquisition/transport_stream.h"
#include "acquisition/vendor_requests.h"
#include "frame/caller_buffer.h"
#include "frame/library.h"
#include "frame/worker_thread.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr const char* kSimultaneousText = "Internal error. Simultaneous acquisition are not supported";
constexpr std::int16_t kMissingPixel = static_cast<std::int16_t>(0x8000);
constexpr int kAboveNormalPriority = -5;

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The "WRN: " line of a delivered frame that is not whole: pixels never
// delivered (0x8000 left from the fill: a lost line or a short line inside
// the frame).
template <class Report>
void ReportUndelivered(const Report& report, const std::vector<std::int16_t>& frame)
{
    const auto missing = std::count(frame.begin(), frame.end(), kMissingPixel);
    if (missing > 0)
        report(KX_REPORT_INFO, KX_EVENT_MESSAGE,
               platform::Format("WRN: frame delivered with %lld undelivered pixels", static_cast<long long>(missing)),
               nullptr);
}

// The "WRN: " line of a stream whose line numbers run past the frame height
// (their pixels were dropped): a sensor of another size, or a damaged stream.
template <class Report>
void ReportLinesBeyond(const Report& report, const StreamTracking& t, int height)
{
    const int highest = std::max(t.highestSol, t.highestEol);
    if (highest >= height)
        report(KX_REPORT_INFO, KX_EVENT_MESSAGE,
               platform::Format("WRN: stream lines up to %d exceed the frame height %d", highest, height), nullptr);
}

}  // namespace

int RunReadout(const ReadoutJob& job)
{
    AcquisitionSession& session = *job.session;
    AcquisitionConnection& connection = *job.connection;
    CallerBuffer& callerFrame = *connection.frame;
    auto report = [&](int kind, int event, const std::string& text, const FrameProgress* progress = nullptr) {
        session.ReportOn(connection, kind, event, 3, text, progress);
    };
    if (session.pageBlockInUse.exchange(true)) {
        report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, kSimultaneousText);
        return -1;
    }
    RequestThreadPriority(kAboveNormalPriority);
    const std::uint64_t startTick = platform::TickCountMs();
    SensorLink& link = *job.link;
    const std::atomic<bool>& stop = *job.stop;

    const int pageCount = PageCount(job.width, job.height);
    auto block = std::make_shared<PageBlock>(pageCount);
    std::vector<char> complete(static_cast<std::size_t>(pageCount), 0);
    std::vector<char> failed(static_cast<std::size_t>(pageCount), 0);
    std::uint64_t firstDataTick = 0;
    bool firstData = false;
    int immediate = 0;
    for (int p = 0; p < pageCount; ++p) {
        const ReadState state = link.QueueRead(block, p);
        if (state == ReadState::Complete) {
            complete[static_cast<std::size_t>(p)] = 1;
            ++immediate;
            if (!firstData) {
                firstData = true;
                firstDataTick = platform::TickCountMs();
            }
        } else if (state == ReadState::Failed) {
            failed[static_cast<std::size_t>(p)] = 1;
        }
    }

    const std::size_t pixels = static_cast<std::size_t>(job.width) * static_cast<std::size_t>(job.height);
    std::vector<std::int16_t> frame(callerFrame.Present() ? pixels : 0, kMissingPixel);
    callerFrame.Write(0, frame.data(), frame.size());

    std::string startText = platform::Format("Acqusition flags=%Xh%s", static_cast<unsigned>(job.flags),
                                             ModelText(job.descramble));
    if (immediate > 0) startText += platform::Format(" (%d overlapped)", pageCount - immediate);
    const FrameProgress started{0, 0};
    report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, startText, &started);

    TransportStreamParser parser(Placement{job.width, job.height, job.descramble, job.invert},
                                 frame.empty() ? nullptr : frame.data());
    auto handOverRows = [&] {
        parser.TakeTouchedRows([&](int row) {
            const std::size_t first = static_cast<std::size_t>(row) * static_cast<std::size_t>(job.width);
            callerFrame.Write(first, frame.data() + first, static_cast<std::size_t>(job.width));
        });
    };
    std::int64_t words = 0;
    int status = kStreamRunning;
    bool anyPage = false;
    std::uint64_t lastPageTick = 0;
    const std::uint64_t readTimeout = static_cast<std::uint64_t>(ScaledMs(kReadTimeoutMs));
    const std::uint64_t abortQuiet = static_cast<std::uint64_t>(ScaledMs(kAbortQuietMs));
    // A bright frame waits for the X-ray button without limit; a dark frame
    // has nothing to wait for, so its first page counts from the start.
    const bool bright = (job.flags & 1) != 0;
    if (!bright && !firstData) firstDataTick = startTick;
    const bool timedFromStart = !bright;

    for (int p = 0; p < pageCount && status == kStreamRunning; ++p) {
        const std::size_t pi = static_cast<std::size_t>(p);
        std::string why;
        while (!complete[pi] && !failed[pi]) {
            const ReadState state = link.PollRead(p, &why);
            if (state == ReadState::Complete) {
                complete[pi] = 1;
                break;
            }
            if (state == ReadState::Failed) {
                failed[pi] = 1;
                break;
            }
            const std::uint64_t now = platform::TickCountMs();
            const bool stopping = session.State() != 0 || stop.load();
            if ((firstData || timedFromStart) && now - firstDataTick > readTimeout) {
                status = kStreamTimedOut;
                break;
            }
            if (stopping && !anyPage) {
                status = kStreamAborted;
                break;
            }
            if (stopping && now - lastPageTick > abortQuiet) {
                status = kStreamAborted;
                break;
            }
            SleepMs(1);
        }
        if (status != kStreamRunning) break;
        if (failed[pi]) {
            block->byteCounts[pi] = 0;
            if (why.empty()) why = "the read could not be queued";
            report(KX_REPORT_INFO, KX_EVENT_MESSAGE, platform::Format("WRN: Read error at page %d: %s", p, why.c_str()));
            break;
        }

        lastPageTick = platform::TickCountMs();
        anyPage = true;
        if (!firstData) {
            firstData = true;
            firstDataTick = lastPageTick;
        }
        const int bytes = block->byteCounts[pi];
        if (bytes % 2 != 0)
            report(KX_REPORT_INFO, KX_EVENT_MESSAGE, platform::Format("WRN: Read odd number of bytes %d at page %d", bytes, p));
        words += bytes / 2;
        parser.Parse(block->Page(p), static_cast<std::size_t>(bytes / 2));
        status = parser.Tracking().status;
        handOverRows();

        const StreamTracking& t = parser.Tracking();
        const FrameProgress progress{t.highestEol + 1, ReadoutProgress(t.highestEol, job.height)};
        report(KX_REPORT_INFO, KX_EVENT_DATA, "", &progress);
    }
    if (session.State() != 0 || stop.load()) status = kStreamAborted;

    if (job.debugDump) {
        const int last = WriteTransportDump(session.lib.log, job.homePath, job.width, *block);
        report(KX_REPORT_INFO, KX_EVENT_MESSAGE, platform::Format("Debug dump %d data pages \"Log/$a*.bin\"", last));
    }
    link.CancelReads();
    block.reset();
    session.pageBlockInUse.store(false);

    const StreamTracking& t = parser.Tracking();
    if (status != kStreamAborted) ReportLinesBeyond(report, t, job.height);
    const std::string suffix = platform::Format(" Read %d words SOL=%d", static_cast<int>(words), t.highestSol);
    MessageTable& messages = session.lib.messages;
    switch (status) {
    case kStreamComplete: {
        const FrameProgress delivered{t.highestEol + 1, 255};
        session.lastFrameSimulated.store(link.Simulated());
        ReportUndelivered(report, frame);
        std::string text;
        if (job.debugDump || job.height != t.highestSol + 1 || job.height != t.highestEol + 1 ||
            job.width != t.highestColumn + 1) {
            text = platform::Format("Read %d words (%d data words) SOL=%d EOL=%d COL=%d", static_cast<int>(words),
                                    static_cast<int>(ExpectedWords(job.width, job.height)), t.highestSol,
                                    t.highestEol, t.highestColumn);
        } else {
            const std::uint64_t end = platform::TickCountMs();
            text = platform::Format("Acquisition complete in %.2f(%.2f)sec", (end - startTick) / 1000.0,
                                    (end - firstDataTick) / 1000.0);
        }
        report(KX_REPORT_INFO, KX_EVENT_PROGRESS, text, &delivered);
        break;
    }
    case kStreamTimedOut:
        report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, messages.Text(kMsgReadTimeout) + suffix);
        break;
    case kStreamAborted:
        break;  // the abort was reported when it was asked for
    case kStreamPrematureEnd:
        report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, messages.Text(kMsgPrematureEof) + suffix);
        break;
    default:
        report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, FormatMessage(&messages, kMsgParsingCode, status) + suffix);
        break;
    }

    if (anyPage) {
        const std::uint64_t quiet = abortQuiet;
        while (platform::TickCountMs() - lastPageTick < quiet && !stop.load()) SleepMs(10);
        if (!stop.load() && session.SendVendorRequest(&link, kRequestReset, 0, 0, &connection)) {
            SleepScaledMs(kClosingRequestGapMs);
            if (!stop.load()) session.SendVendorRequest(&link, kRequestReset, 0, 0, &connection);
        }
    }
    return status;
}

}  // namespace kordex
