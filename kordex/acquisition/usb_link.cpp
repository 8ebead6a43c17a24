// The USB link. Transfer callbacks may run in any thread that handles libusb
// events (the read-out's polls, or a synchronous vendor request in the
// caller's thread), so each page's state is an atomic written once by its
// callback. A transfer is freed only after its callback has run: a
// cancellation that does not come back in time leaves the transfer and its
// page block alive rather than let the kernel write into freed memory.
#include "acquisition/usb_link.h"

#include <libusb.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

#include "acquisition/device_discovery.h"
#include "acquisition/vendor_requests.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr unsigned kControlTimeoutMs = 1000;
constexpr int kCancelWaitMs = 2000;
constexpr unsigned char kFallbackEndpoint = 0x81;

enum : int { kPending = 0, kDone = 1, kFailed = 2, kCancelled = 3 };

struct Transfer {
    libusb_transfer* transfer = nullptr;
    std::shared_ptr<PageBlock> block;
    int page = 0;
    std::atomic<int> state{kPending};
    std::atomic<int> status{LIBUSB_TRANSFER_COMPLETED};
};

const char* TransferStatusText(int status)
{
    switch (status) {
    case LIBUSB_TRANSFER_ERROR: return "transfer failed";
    case LIBUSB_TRANSFER_TIMED_OUT: return "transfer timed out";
    case LIBUSB_TRANSFER_CANCELLED: return "transfer cancelled";
    case LIBUSB_TRANSFER_STALL: return "endpoint stalled";
    case LIBUSB_TRANSFER_NO_DEVICE: return "device disconnected";
    case LIBUSB_TRANSFER_OVERFLOW: return "device sent more than requested";
    default: return "completed";
    }
}

void LIBUSB_CALL TransferDone(libusb_transfer* t)
{
    Transfer* slot = static_cast<Transfer*>(t->user_data);
    slot->status.store(t->status);
    if (t->status == LIBUSB_TRANSFER_COMPLETED) {
        slot->block->byteCounts[static_cast<std::size_t>(slot->page)] = t->actual_length;
        slot->state.store(kDone);
    } else if (t->status == LIBUSB_TRANSFER_CANCELLED) {
        slot->state.store(kCancelled);
    } else {
        slot->state.store(kFailed);
    }
}

class UsbLink : public SensorLink {
public:
    ~UsbLink() override
    {
        Close();
        FreeList();
        if (ctx_) libusb_exit(ctx_);
    }

    bool Enumerate(std::vector<DeviceInterface>* interfaces) override
    {
        interfaces->clear();
        if (!ctx_ && libusb_init(&ctx_) != 0) {
            ctx_ = nullptr;
            return false;
        }
        FreeList();
        const ssize_t count = libusb_get_device_list(ctx_, &list_);
        if (count < 0) {
            list_ = nullptr;
            return false;
        }
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device* device = list_[i];
            // Only the sensor vendor's devices form the sensor's device
            // class; any other device is not listed at all.
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(device, &d) != 0 || d.idVendor != kSensorVendorId) continue;
            devices_.push_back(device);
            std::uint8_t ports[8];
            const int portCount = libusb_get_port_numbers(device, ports, sizeof ports);
            if (portCount < 0) {
                interfaces->push_back({false, std::string()});
                continue;
            }
            std::string portPath;
            for (int p = 0; p < portCount; ++p) portPath += platform::Format(p == 0 ? "%u" : ".%u", ports[p]);
            interfaces->push_back({true, platform::Format("usb#VID_%04X&PID_%04X#%03d-%s", d.idVendor, d.idProduct,
                                                          libusb_get_bus_number(device), portPath.c_str())});
        }
        return true;
    }

    bool Open(int index, std::string* why) override
    {
        Close();
        if (index < 0 || index >= static_cast<int>(devices_.size())) return false;
        libusb_device_handle* handle = nullptr;
        int rc = libusb_open(devices_[static_cast<std::size_t>(index)], &handle);
        if (rc == 0) {
            libusb_set_auto_detach_kernel_driver(handle, 1);
            rc = libusb_claim_interface(handle, 0);
            if (rc != 0) libusb_close(handle);
        }
        if (rc != 0) {
            if (why) *why = platform::Format("libusb: %s", libusb_strerror(static_cast<libusb_error>(rc)));
            return false;
        }
        handle_ = handle;
        endpoint_ = FindBulkIn(devices_[static_cast<std::size_t>(index)]);
        return true;
    }

    bool IsOpen() const override { return handle_ != nullptr; }

    bool VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index) override
    {
        if (!handle_) return false;
        return libusb_control_transfer(handle_, kRequestType, request, value, index,
                                       nullptr, 0, kControlTimeoutMs) >= 0;
    }

    ReadState QueueRead(const std::shared_ptr<PageBlock>& block, int page) override
    {
        if (page == 0) ReleaseFinished();
        if (!handle_) return ReadState::Failed;
        if (transfers_.size() <= static_cast<std::size_t>(page)) transfers_.resize(static_cast<std::size_t>(page) + 1);
        auto slot = std::make_unique<Transfer>();
        slot->block = block;
        slot->page = page;
        slot->transfer = libusb_alloc_transfer(0);
        if (!slot->transfer) return ReadState::Failed;
        libusb_fill_bulk_transfer(slot->transfer, handle_, endpoint_, block->Page(page), kPageBytes, TransferDone,
                                  slot.get(), 0);
        if (libusb_submit_transfer(slot->transfer) != 0) {
            libusb_free_transfer(slot->transfer);
            return ReadState::Failed;
        }
        transfers_[static_cast<std::size_t>(page)] = std::move(slot);
        return ReadState::Pending;
    }

    ReadState PollRead(int page, std::string* why) override
    {
        if (page < 0 || static_cast<std::size_t>(page) >= transfers_.size() || !transfers_[static_cast<std::size_t>(page)])
            return ReadState::Failed;
        Transfer& slot = *transfers_[static_cast<std::size_t>(page)];
        if (slot.state.load() == kPending) {
            timeval zero{0, 0};
            libusb_handle_events_timeout_completed(ctx_, &zero, nullptr);
        }
        switch (slot.state.load()) {
        case kDone: return ReadState::Complete;
        case kPending: return ReadState::Pending;
        default:
            if (why) *why = TransferStatusText(slot.status.load());
            return ReadState::Failed;
        }
    }

    void CancelReads() override
    {
        for (auto& slot : transfers_)
            if (slot && slot->state.load() == kPending) libusb_cancel_transfer(slot->transfer);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCancelWaitMs);
        while (AnyPending() && std::chrono::steady_clock::now() < deadline) {
            timeval slice{0, 20000};
            libusb_handle_events_timeout_completed(ctx_, &slice, nullptr);
        }
        ReleaseFinished();
    }

    void Close() override
    {
        if (!handle_) return;
        CancelReads();
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
        handle_ = nullptr;
    }

    bool Simulated() const override { return false; }

private:
    bool AnyPending() const
    {
        for (const auto& slot : transfers_)
            if (slot && slot->state.load() == kPending) return true;
        return false;
    }

    // Frees the transfers whose callbacks have run; a transfer still pending
    // (a cancellation that never came back) is kept, with its page block.
    void ReleaseFinished()
    {
        for (auto& slot : transfers_) {
            if (!slot || slot->state.load() == kPending) continue;
            libusb_free_transfer(slot->transfer);
            slot.reset();
        }
        std::vector<std::unique_ptr<Transfer>> kept;
        for (auto& slot : transfers_)
            if (slot) kept.push_back(std::move(slot));
        transfers_.clear();
        stranded_.insert(stranded_.end(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    }

    unsigned char FindBulkIn(libusb_device* device)
    {
        libusb_config_descriptor* config = nullptr;
        unsigned char endpoint = kFallbackEndpoint;
        if (libusb_get_active_config_descriptor(device, &config) != 0 &&
            libusb_get_config_descriptor(device, 0, &config) != 0)
            return endpoint;
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK &&
                    (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
                    endpoint = ep.bEndpointAddress;
                    break;
                }
            }
        }
        libusb_free_config_descriptor(config);
        return endpoint;
    }

    void FreeList()
    {
        devices_.clear();
        if (list_) libusb_free_device_list(list_, 1);
        list_ = nullptr;
    }

    libusb_context* ctx_ = nullptr;
    libusb_device** list_ = nullptr;
    std::vector<libusb_device*> devices_;
    libusb_device_handle* handle_ = nullptr;
    unsigned char endpoint_ = kFallbackEndpoint;
    std::vector<std::unique_ptr<Transfer>> transfers_;
    std::vector<std::unique_ptr<Transfer>> stranded_;  // never completed their cancellation
};

}  // namespace

std::shared_ptr<SensorLink> MakeUsbLink()
{
    return std::make_shared<UsbLink>();
}

}  // namespace kordex
