// SensorLink: the one small interface through which acquisition talks to the
// sensor -- list the devices, open one, send a vendor request, queue page
// reads and poll them in order, cancel, close.
//
// Two implementations exist: the USB link (libusb-1.0, the default) and the
// virtual sensor, chosen by the [Settings] key SensorLink ("usb" or
// "virtual") or the environment variable KORDEX_SENSOR_LINK, which wins.
//
// Threads: Enumerate, Open and Close run in the caller's thread;
// VendorRequest runs in the caller's thread and in the read-out thread (the
// closing requests after a frame); QueueRead, PollRead and CancelReads run
// in the read-out thread only. A link is shared (std::shared_ptr) by the
// acquisition and its read-out thread, so a read-out that outlives the close
// still finds it; the link is closed at the latest when its last owner
// releases it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/transport_stream.h"

namespace kordex {

struct LibrarySettings;
class Log;

// The pages of one frame: one allocation of pageCount x 65,536 bytes, zeroed.
// Shared by the read-out and the link while reads are outstanding, so a read
// that cannot be cancelled in time never writes into freed memory.
struct PageBlock {
    explicit PageBlock(int pages)
        : pageCount(pages), bytes(static_cast<std::size_t>(pages) * kPageBytes, 0),
          byteCounts(static_cast<std::size_t>(pages), 0)
    {
    }
    std::uint8_t* Page(int page) { return bytes.data() + static_cast<std::size_t>(page) * kPageBytes; }

    int pageCount;
    std::vector<std::uint8_t> bytes;
    std::vector<int> byteCounts;  // byte count of each completed read
};

// One entry of the device enumeration.
struct DeviceInterface {
    bool readable = true;  // false: the device path could not be read
    std::string path;      // "usb#VID_%04X&PID_%04X#%03d-%s" (vendor, product, bus, port path)
};

enum class ReadState { Pending, Complete, Failed };

class SensorLink {
public:
    virtual ~SensorLink() = default;

    // The present devices in enumeration order. False when the enumeration
    // itself fails (no driver or no USB support).
    virtual bool Enumerate(std::vector<DeviceInterface>* interfaces) = 0;
    // Opens entry `index` of the last enumeration exclusively. On failure
    // *why receives the link's own reason (for the log's detail line).
    virtual bool Open(int index, std::string* why) = 0;
    virtual bool IsOpen() const = 0;
    // One vendor request (request type 0xC0, no data stage). True on success.
    virtual bool VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index) = 0;

    // Queues a 65,536-byte read into page `page` of block. Complete when it
    // completed at once (the byte count is then in block->byteCounts).
    virtual ReadState QueueRead(const std::shared_ptr<PageBlock>& block, int page) = 0;
    // Never blocks. Complete: block->byteCounts[page] holds the byte count.
    // Failed: *why receives the reason.
    virtual ReadState PollRead(int page, std::string* why) = 0;
    // Cancels every outstanding read and returns once none can write into
    // the block any more.
    virtual void CancelReads() = 0;
    virtual void Close() = 0;

    // True for the virtual sensor: its frames are simulated.
    virtual bool Simulated() const = 0;
};

// "usb" or "virtual": KORDEX_SENSOR_LINK when set and not empty, else the
// SensorLink setting.
std::string SensorLinkKind(const LibrarySettings& settings);

// A new link of the configured kind. iniPath is the library's settings file
// (the virtual sensor reads its section there); width and height are the
// frame size; log receives the virtual sensor's "WRN: " lines.
std::shared_ptr<SensorLink> MakeSensorLink(const LibrarySettings& settings, const std::string& iniPath,
                                           int width, int height, Log* log);

}  // namespace kordex
