// The virtual sensor. Reads complete by the clock, not by a thread: each
// read has the time its last byte would have crossed the wire, and a poll
// after that time copies the bytes into the page. So pacing costs nothing
// and a stalled or cancelled read simply never completes.
#include "acquisition/virtual_sensor.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "acquisition/device_discovery.h"
#include "acquisition/stream_writer.h"
#include "acquisition/transport_dump.h"
#include "acquisition/vendor_requests.h"
#include "frame/log.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr std::uint8_t kStrayByte = 0x5A;

}  // namespace

VirtualSensor::VirtualSensor(const VirtualSensorSettings& settings, int width, int height, Log* log)
    : s_(settings), width_(width), height_(height), log_(log)
{
}

VirtualSensor::~VirtualSensor()
{
    Close();
}

std::string VirtualSensor::DevicePath() const
{
    if (!s_.devicePath.empty()) return s_.devicePath;
    return platform::Format("usb#VID_%04X&PID_%04X#001-1", kSensorVendorId, static_cast<unsigned>(s_.productId));
}

bool VirtualSensor::Enumerate(std::vector<DeviceInterface>* interfaces)
{
    interfaces->clear();
    if (s_.fault == "no_driver") return false;
    if (s_.fault == "missing") return true;
    for (int i = 0; i < s_.otherDevices; ++i)
        interfaces->push_back({true, platform::Format("usb#VID_046D&PID_C5%02X#001-%d", 0x20 + i, i + 2)});
    sensorIndex_ = static_cast<int>(interfaces->size());
    interfaces->push_back({s_.fault != "unreadable", s_.fault == "unreadable" ? std::string() : DevicePath()});
    return true;
}

bool VirtualSensor::Open(int index, std::string* why)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (index != sensorIndex_) {
        if (why) *why = "virtual sensor: not a sensor";
        return false;
    }
    if (s_.fault == "busy") {
        if (why) *why = "virtual sensor: device is busy (Fault=busy)";
        return false;
    }
    open_ = true;
    sequence_ = Sequence::Idle;
    configured_ = false;
    darkArmed_ = false;
    return true;
}

bool VirtualSensor::IsOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

bool VirtualSensor::Answer(std::uint8_t request, std::uint16_t value)
{
    if (static_cast<int>(request) == s_.failRequest) return false;
    switch (request) {
    case kRequestReset:
        sequence_ = sequence_ == Sequence::CodeSet ? Sequence::Latched : Sequence::Reset;
        return true;
    case kRequestSelectStep:
        if (sequence_ != Sequence::Reset || (value & 0xFF00) != kSelectStepBase) return false;
        sequence_ = Sequence::StepSelected;
        return true;
    case kRequestPower:
        if (sequence_ != Sequence::Latched) return false;
        sequence_ = Sequence::Powered;
        return true;
    case kRequestApply:
        if (sequence_ != Sequence::Powered) return false;
        sequence_ = Sequence::Idle;
        configured_ = true;
        return true;
    case kRequestStartDark:
    case kRequestStartBright:
        if (!configured_) return false;
        darkArmed_ = request == kRequestStartDark;
        return true;
    default:
        if (IsVoltageCode(request)) {
            if (sequence_ != Sequence::StepSelected) return false;
            sequence_ = Sequence::CodeSet;
            return true;
        }
        return false;
    }
}

namespace {

unsigned NextFrameNumber()
{
    static std::atomic<unsigned> counter{0};
    return ++counter;
}

}  // namespace

bool VirtualSensor::VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_ && Answer(request, value);
}

void VirtualSensor::StartFrame()
{
    bool dark = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dark = darkArmed_;
        darkArmed_ = false;
        // Numbered across connections: each frame of the process draws new
        // noise, as a real sensor's would, so averaging and calibration are
        // measured honestly.
        frameNumber_ = NextFrameNumber();
    }
    const Placement placement{width_, height_, s_.descramble, false};
    std::vector<std::uint8_t> stream;
    std::string what;
    if (!s_.replayDir.empty()) {
        reads_ = ReadTransportDump(s_.replayDir);
        what = platform::Format("replay of %d pages from %s", static_cast<int>(reads_.size()), s_.replayDir.c_str());
    } else {
        if (!model_) model_ = std::make_unique<SensorModel>(width_, height_, s_);
        const std::vector<std::uint16_t> samples = model_->Frame(!dark, frameNumber_);
        StreamOptions options;
        options.missingLines = s_.missingLines;
        options.endMarker = s_.endMarker && !s_.runOn;
        stream = WriteTransportStream(samples.data(), placement, options);
        what = dark ? "simulated dark frame" : "simulated X-ray frame";
        if (s_.runOn) {
            // Pixel words run on through every queued read.
            const std::size_t total = static_cast<std::size_t>(block_->pageCount) * kPageBytes;
            while (stream.size() < total) stream.push_back(static_cast<std::uint8_t>(stream.size() % 2 == 0 ? 0x23 : 0x01));
        }
        reads_ = SplitIntoPages(stream);
        if (s_.oddBytesAtPage >= 0 && s_.oddBytesAtPage < static_cast<int>(reads_.size())) {
            // That read carries one stray byte after a whole number of words;
            // the words it displaces move to the next read.
            std::vector<std::vector<std::uint8_t>> shifted;
            std::vector<std::uint8_t> rest;
            for (std::size_t r = 0; r < reads_.size(); ++r) {
                std::vector<std::uint8_t> bytes = rest;
                bytes.insert(bytes.end(), reads_[r].begin(), reads_[r].end());
                rest.clear();
                if (static_cast<int>(r) == s_.oddBytesAtPage && bytes.size() >= 2) {
                    const std::size_t keep = std::min<std::size_t>(bytes.size(), kPageBytes - 2);
                    rest.assign(bytes.begin() + static_cast<std::ptrdiff_t>(keep), bytes.end());
                    bytes.resize(keep);
                    bytes.push_back(kStrayByte);
                } else if (bytes.size() > static_cast<std::size_t>(kPageBytes)) {
                    rest.assign(bytes.begin() + kPageBytes, bytes.end());
                    bytes.resize(kPageBytes);
                }
                shifted.push_back(std::move(bytes));
            }
            if (!rest.empty()) shifted.push_back(std::move(rest));
            reads_ = std::move(shifted);
        }
    }
    if (s_.stallAfterPages >= 0 && s_.stallAfterPages < static_cast<int>(reads_.size()))
        reads_.resize(static_cast<std::size_t>(s_.stallAfterPages));

    const Clock::time_point start =
        Clock::now() + (dark ? Clock::duration::zero() : std::chrono::milliseconds(s_.shotDelayMs));
    const double bytesPerMicrosecond = s_.streamMBps;  // 1 MB/s = 1 byte/us
    readyAt_.clear();
    double sent = 0.0;
    for (const auto& read : reads_) {
        sent += static_cast<double>(read.size());
        readyAt_.push_back(start + std::chrono::microseconds(static_cast<std::int64_t>(sent / bytesPerMicrosecond)));
    }
    delivered_.assign(reads_.size(), 0);
    if (log_) log_->Plain(platform::Format("WRN: virtual sensor: %s, not a patient image", what.c_str()));
}

ReadState VirtualSensor::QueueRead(const std::shared_ptr<PageBlock>& block, int page)
{
    if (!IsOpen()) return ReadState::Failed;
    if (page == 0) {
        block_ = block;
        StartFrame();
    }
    return ReadState::Pending;
}

ReadState VirtualSensor::PollRead(int page, std::string* why)
{
    if (!IsOpen()) {
        if (why) *why = "virtual sensor closed";
        return ReadState::Failed;
    }
    const std::size_t p = static_cast<std::size_t>(page);
    if (!block_ || page < 0 || page >= block_->pageCount || p >= reads_.size()) return ReadState::Pending;
    if (delivered_[p]) return ReadState::Complete;
    if (Clock::now() < readyAt_[p]) return ReadState::Pending;
    const std::vector<std::uint8_t>& bytes = reads_[p];
    const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(kPageBytes));
    std::memcpy(block_->Page(page), bytes.data(), count);
    block_->byteCounts[p] = static_cast<int>(count);
    delivered_[p] = 1;
    return ReadState::Complete;
}

void VirtualSensor::CancelReads()
{
    block_.reset();
    reads_.clear();
    readyAt_.clear();
    delivered_.clear();
}

void VirtualSensor::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

}  // namespace kordex
