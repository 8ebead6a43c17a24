// The virtual sensor: a SensorLink that behaves like the device, so every
// feature can be developed, tested and shown without hardware.
//
// It lists itself (and OtherDevices of other products before it) with a
// device path that carries its product id, opens exclusively, and answers
// the vendor requests the way the device does: the reset-voltage set-up must
// come in its order (0xB0, 0x80 with 0xE00 | step, a voltage code, 0xB0,
// 0x50, 0xAA) or the out-of-order request fails; the start requests 0x60 and
// 0x61 fail before a completed set-up; unknown requests fail.
//
// A frame starts when the read-out queues its first page. After 0x60 it is a
// dark frame and streams at once; otherwise it is an X-ray frame, which
// streams after ShotDelayMs (the time the user takes to press the button).
// Reads complete at the StreamMBps pace. The faults of the [Virtual Sensor]
// section (virtual_sensor_settings.h) bend this on request, and ReplayDir
// sends recorded dump pages instead of the model.
//
// Every frame it streams is logged with a "WRN: virtual sensor" line, so a
// simulated image can never pass for a patient's.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/sensor_link.h"
#include "acquisition/sensor_model.h"
#include "acquisition/virtual_sensor_settings.h"

namespace kordex {

class VirtualSensor : public SensorLink {
public:
    // log may be null.
    VirtualSensor(const VirtualSensorSettings& settings, int width, int height, Log* log);
    ~VirtualSensor() override;

    bool Enumerate(std::vector<DeviceInterface>* interfaces) override;
    bool Open(int index, std::string* why) override;
    bool IsOpen() const override;
    bool VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index) override;
    ReadState QueueRead(const std::shared_ptr<PageBlock>& block, int page) override;
    ReadState PollRead(int page, std::string* why) override;
    void CancelReads() override;
    void Close() override;
    bool Simulated() const override { return true; }

    // The device path text of the sensor.
    std::string DevicePath() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Sequence { Idle, Reset, StepSelected, CodeSet, Latched, Powered };

    void StartFrame();
    bool Answer(std::uint8_t request, std::uint16_t value);

    VirtualSensorSettings s_;
    int width_;
    int height_;
    Log* log_;
    std::unique_ptr<SensorModel> model_;  // made on the first frame

    mutable std::mutex mutex_;  // vendor requests (caller or read-out thread) against the rest
    bool open_ = false;
    int sensorIndex_ = 0;
    Sequence sequence_ = Sequence::Idle;
    bool configured_ = false;
    bool darkArmed_ = false;
    unsigned frameNumber_ = 0;

    // The frame being streamed (read-out thread only).
    std::shared_ptr<PageBlock> block_;
    std::vector<std::vector<std::uint8_t>> reads_;  // what each queued read receives
    std::vector<Clock::time_point> readyAt_;
    std::vector<char> delivered_;
};

}  // namespace kordex
