// The read-out thread. The order of its steps is the device protocol:
// queue, fill with 0x8000, start report, pages in order, dump, cancel,
// final report, quiet period, closing requests.
#include "acquisition/readout.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "acquisition/acquisition_session.h"
#include "acquisition/message_format.h"
#include "acquisition/sensor_link.h"
#include "acquisition/time_constants.h"
#include "acquisition/transport_dump.h"
#include "acquisition/transport_stream.h"
#include "acquisition/vendor_requests.h"
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

}  // namespace

int RunReadout(const ReadoutJob& job)
{
    AcquisitionSession& session = *job.session;
    AcqStatus& record = session.Status();
    if (session.pageBlockInUse.exchange(true)) {
        session.Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, kSimultaneousText);
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
    if (record.frame != nullptr) std::fill(record.frame, record.frame + pixels, kMissingPixel);

    std::string startText = platform::Format("Acqusition flags=%Xh%s", static_cast<unsigned>(job.flags),
                                             ModelText(job.descramble));
    if (immediate > 0) startText += platform::Format(" (%d overlapped)", pageCount - immediate);
    record.progress = 0;
    session.Report(KX_REPORT_TIMED, KX_EVENT_PROGRESS, 3, startText);

    TransportStreamParser parser(Placement{job.width, job.height, job.descramble, job.invert}, record.frame);
    std::int64_t words = 0;
    int status = kStreamRunning;
    bool anyPage = false;
    std::uint64_t lastPageTick = 0;
    const std::uint64_t readTimeout = static_cast<std::uint64_t>(ScaledMs(kReadTimeoutMs));
    const std::uint64_t abortQuiet = static_cast<std::uint64_t>(ScaledMs(kAbortQuietMs));

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
            if (firstData && now - firstDataTick > readTimeout) {
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
            session.Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, 3,
                           platform::Format("WRN: Read error at page %d: %s", p, why.c_str()));
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
            session.Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, 3,
                           platform::Format("WRN: Read odd number of bytes %d at page %d", bytes, p));
        words += bytes / 2;
        parser.Parse(block->Page(p), static_cast<std::size_t>(bytes / 2));
        status = parser.Tracking().status;

        const StreamTracking& t = parser.Tracking();
        record.lines = t.highestEol + 1;
        record.progress = ReadoutProgress(t.highestEol, job.height);
        session.Report(KX_REPORT_INFO, KX_EVENT_DATA, 3, "");
    }
    if (session.State() != 0 || stop.load()) status = kStreamAborted;

    if (job.debugDump) {
        const int last = WriteTransportDump(session.lib.log, job.homePath, job.width, *block);
        session.Report(KX_REPORT_INFO, KX_EVENT_MESSAGE, 3,
                       platform::Format("Debug dump %d data pages \"Log/$a*.bin\"", last));
    }
    link.CancelReads();
    block.reset();
    session.pageBlockInUse.store(false);

    const StreamTracking& t = parser.Tracking();
    const std::string suffix = platform::Format(" Read %d words SOL=%d", static_cast<int>(words), t.highestSol);
    MessageTable& messages = session.lib.messages;
    switch (status) {
    case kStreamComplete: {
        record.lines = t.highestEol + 1;
        record.progress = 255;
        session.lastFrameSimulated.store(link.Simulated());
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
        session.Report(KX_REPORT_INFO, KX_EVENT_PROGRESS, 3, text);
        break;
    }
    case kStreamTimedOut:
        session.Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, messages.Text(105) + suffix);
        break;
    case kStreamAborted:
        break;  // the abort was reported when it was asked for
    case kStreamPrematureEnd:
        session.Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, messages.Text(106) + suffix);
        break;
    default:
        session.Report(KX_REPORT_ERROR, KX_EVENT_MESSAGE, 3, FormatMessage(messages, 107, status) + suffix);
        break;
    }

    if (anyPage) {
        const std::uint64_t quiet = abortQuiet;
        while (platform::TickCountMs() - lastPageTick < quiet && !stop.load()) SleepMs(10);
        if (!stop.load() && session.SendVendorRequest(&link, kRequestReset, 0, 0)) {
            SleepScaledMs(kClosingRequestGapMs);
            if (!stop.load()) session.SendVendorRequest(&link, kRequestReset, 0, 0);
        }
    }
    return status;
}

}  // namespace kordex
