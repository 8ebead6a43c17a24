// The USB link end to end without hardware: umockdev emulates the sensor for
// libusb (a device description plus an in-process ioctl handler that serves
// the usbfs requests), and the exports of libkordex.so drive it through the
// real libusb code. The program runs with libumockdev-preload.so.0.
//
// The emulated sensor answers the vendor control requests (recording them),
// and streams a prepared transport stream as bulk IN pages once a start
// request arrived; it can stall, refuse the claim, or vanish mid-frame
// (remaining URBs complete with -ENODEV, as the kernel completes them when a
// device is unplugged).
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/stream_writer.h"
#include "kordex.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;
using test_support::WriteText;

constexpr int W = 910, H = 688;

// Sensor descriptors: VID 0x1209, PID 0x2001, one configuration, interface 0
// with one bulk IN endpoint 0x81.
constexpr const char* kSensorDescriptors =
    "120100020000004009120120000100000001"
    "090219000101008032"
    "090400000001ff000000"
    "07058102000200";
constexpr const char* kOtherDescriptors =
    "12010002000000406d042bc5000100000001"
    "090219000101008032"
    "090400000001ff000000"
    "07058102000200";

std::string DeviceText(int bus, const char* descriptors)
{
    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: /devices/usb%d\nN: bus/usb/%03d/001\nE: SUBSYSTEM=usb\nE: DRIVER=usb\nE: BUSNUM=%03d\n"
                  "E: DEVNUM=001\nE: DEVNAME=/dev/bus/usb/%03d/001\nE: DEVTYPE=usb_device\n"
                  "A: bConfigurationValue=1\\n\nA: busnum=%d\\n\nA: devnum=1\\n\nA: speed=480\\n\n"
                  "H: descriptors=%s\n",
                  bus, bus, bus, bus, bus, descriptors);
    return text;
}

// The sensor behind the ioctl handler (called in umockdev's handler thread).
struct EmulatedSensor {
    std::mutex mutex;
    std::vector<std::string> requests;  // "C0 B0 0 0 0": type, request, value, index, length
    std::set<int> failing;
    bool claimFails = false;
    std::vector<std::vector<std::uint8_t>> pages;
    bool armed = false;
    std::size_t nextPage = 0;
    int stallAfter = -1;
    int unplugAfter = -1;
    bool unplugged = false;
    int discards = 0;
    int bulkSubmitted = 0;
    std::deque<UMockdevIoctlData*> control;
    std::deque<UMockdevIoctlData*> bulk;
    std::deque<UMockdevIoctlData*> discarded;

    ~EmulatedSensor()
    {
        for (auto* list : {&control, &bulk, &discarded})
            for (UMockdevIoctlData* d : *list) umockdev_ioctl_data_unref(d);
    }
};

void Reaped(UMockdevIoctlClient* client, UMockdevIoctlData* arg, UMockdevIoctlData* urbData)
{
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_data_unref(urbData);
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user)
{
    auto* sensor = static_cast<EmulatedSensor*>(user);
    std::lock_guard<std::mutex> lock(sensor->mutex);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(d->data) = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                                                USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET |
                                                USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_client_complete(client, 0, 0);
        umockdev_ioctl_data_unref(d);
        return TRUE;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:  // no kernel driver to detach
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return TRUE;
    case USBDEVFS_CLAIMINTERFACE:
        if (sensor->claimFails)
            umockdev_ioctl_client_complete(client, -1, EBUSY);
        else
            umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    case USBDEVFS_SUBMITURB: {
        if (sensor->unplugged) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            UMockdevIoctlData* setup = umockdev_ioctl_data_resolve(
                urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
            const std::uint8_t* b = setup->data;
            const int code = b[1];
            char text[64];
            std::snprintf(text, sizeof text, "%02X %02X %X %X %d", b[0], code, b[2] | b[3] << 8, b[4] | b[5] << 8,
                          b[6] | b[7] << 8);
            sensor->requests.push_back(text);
            urb->status = sensor->failing.count(code) ? -EPIPE : 0;
            urb->actual_length = 0;
            if (urb->status == 0 && (code == 0x60 || code == 0x61)) sensor->armed = true;
            sensor->control.push_back(urbData);
            umockdev_ioctl_data_unref(setup);
        } else {
            ++sensor->bulkSubmitted;
            sensor->bulk.push_back(urbData);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        if (!sensor->discarded.empty()) {
            UMockdevIoctlData* urbData = sensor->discarded.front();
            sensor->discarded.pop_front();
            reinterpret_cast<usbdevfs_urb*>(urbData->data)->status = -ENOENT;
            Reaped(client, arg, urbData);
            return TRUE;
        }
        if (!sensor->control.empty()) {
            UMockdevIoctlData* urbData = sensor->control.front();
            sensor->control.pop_front();
            Reaped(client, arg, urbData);
            return TRUE;
        }
        if (!sensor->bulk.empty()) {
            UMockdevIoctlData* urbData = sensor->bulk.front();
            auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
            if (sensor->unplugged) {
                sensor->bulk.pop_front();
                urb->status = -ENODEV;
                urb->actual_length = 0;
                Reaped(client, arg, urbData);
                return TRUE;
            }
            const bool stalled = sensor->stallAfter >= 0 && sensor->nextPage >= static_cast<std::size_t>(sensor->stallAfter);
            if (sensor->armed && !stalled && sensor->nextPage < sensor->pages.size()) {
                sensor->bulk.pop_front();
                const std::vector<std::uint8_t>& page = sensor->pages[sensor->nextPage++];
                const std::size_t n = std::min(page.size(), static_cast<std::size_t>(urb->buffer_length));
                // Same address space: the URB's buffer is the library's page.
                std::memcpy(urb->buffer, page.data(), n);
                urb->actual_length = static_cast<int>(n);
                urb->status = 0;
                if (sensor->unplugAfter >= 0 && sensor->nextPage >= static_cast<std::size_t>(sensor->unplugAfter))
                    sensor->unplugged = true;
                Reaped(client, arg, urbData);
                return TRUE;
            }
        }
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    case USBDEVFS_DISCARDURB: {
        const gulong address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
        for (auto it = sensor->bulk.begin(); it != sensor->bulk.end(); ++it) {
            if ((*it)->client_addr != address) continue;
            sensor->discarded.push_back(*it);
            sensor->bulk.erase(it);
            ++sensor->discards;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

struct Seen {
    int kind, event, progress;
    std::string text;
};

class Recorder {
public:
    static int32_t Callback(void* record)
    {
        auto* s = static_cast<AcqStatus*>(record);
        auto* self = static_cast<Recorder*>(s->context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->seen_.push_back({s->kind, s->event, s->progress, s->text});
        self->changed_.notify_all();
        return 0;
    }
    bool WaitForEnd()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (const Seen& s : seen_)
                if (s.kind == 2 || (s.event == 21 && s.progress == 255)) return true;
            return false;
        });
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> texts;
        for (const Seen& s : seen_)
            if (!s.text.empty()) texts.push_back(s.text);
        return texts;
    }
    bool Has(const std::string& text)
    {
        for (const std::string& t : Texts())
            if (t == text) return true;
        return false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Seen> seen_;
};

class UsbLinkTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* preload = std::getenv("LD_PRELOAD");
        ASSERT_TRUE(preload && std::strstr(preload, "libumockdev-preload")) << "run with LD_PRELOAD=libumockdev-preload.so.0";
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        unsetenv("KORDEX_SENSOR_LINK");
        testbed_ = umockdev_testbed_new();
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(HandleIoctl), &sensor_);
        samples_.resize(static_cast<std::size_t>(W) * H);
        for (std::size_t i = 0; i < samples_.size(); ++i) samples_[i] = static_cast<std::uint16_t>((i * 7919) % 4096);
        const auto stream = kordex::WriteTransportStream(samples_.data(), {W, H, 1, false}, {});
        sensor_.pages = kordex::SplitIntoPages(stream);
        frame_.assign(samples_.size(), 0);
    }
    void TearDown() override
    {
        if (library_) dlclose(library_);
        g_clear_object(&handler_);
        g_clear_object(&testbed_);
        unsetenv("KORDEX_TEST_TIME_SCALE");
    }
    void AddSensor()
    {
        ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed_, "/dev/bus/usb/001/001", handler_, nullptr));
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, DeviceText(1, kSensorDescriptors).c_str(), nullptr));
    }
    void AddOtherDevice()
    {
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, DeviceText(2, kOtherDescriptors).c_str(), nullptr));
    }
    void Load(const std::string& settings = "")
    {
        ASSERT_TRUE(dir_.Ok());
        const std::string home = dir_.File("home/");
        std::filesystem::create_directories(home);
        const std::string ini = dir_.File("kordex.ini");
        WriteText(ini, "[Settings]\nHomeDir=" + home + "\nSensorLink=usb\n" + settings + "\n");
        setenv("KORDEX_INI", ini.c_str(), 1);
        library_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        connect_ = Bind<AcqStatus* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t)>("KXACQ_Connect");
        start_ = Bind<int32_t (*)(AcqStatus*)>("KXACQ_StartFrame");
        abort_ = Bind<int32_t (*)(AcqStatus*)>("KXACQ_Abort");
        close_ = Bind<void (*)(AcqStatus*)>("KXACQ_Close");
    }
    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(library_, name);
    }
    AcqStatus* Connect(int32_t flags) { return connect_(flags, &Recorder::Callback, &rec_, frame_.data(), 0); }
    std::string Reports()
    {
        std::string all;
        for (const std::string& t : rec_.Texts()) all += t + "\n";
        return all;
    }
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> lock(sensor_.mutex);
        return sensor_.requests;
    }
    int Discards()
    {
        std::lock_guard<std::mutex> lock(sensor_.mutex);
        return sensor_.discards;
    }

    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    EmulatedSensor sensor_;
    std::vector<std::uint16_t> samples_;
    std::vector<std::int16_t> frame_;
    TempDir dir_;
    void* library_ = nullptr;
    Recorder rec_;
    AcqStatus* (*connect_)(int32_t, KX_Callback, void*, int16_t*, int32_t) = nullptr;
    int32_t (*start_)(AcqStatus*) = nullptr;
    int32_t (*abort_)(AcqStatus*) = nullptr;
    void (*close_)(AcqStatus*) = nullptr;
};

TEST_F(UsbLinkTest, NoSensorConnected)
{
    // Another maker's device is no interface of the sensor's class.
    AddOtherDevice();
    Load();
    EXPECT_EQ(Connect(0), nullptr);
    EXPECT_EQ(rec_.Texts(), std::vector<std::string>{"ERR: PID2001 no interface #0 (check connection)"});
}

TEST_F(UsbLinkTest, AnUnrelatedDeviceBeforeTheSensorIsNotCounted)
{
    AddOtherDevice();
    AddSensor();
    Load();
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr) << Reports();
    EXPECT_TRUE(rec_.Has("device PID 2001 interface 0 connection OK")) << Reports();
    close_(acq);
}

TEST_F(UsbLinkTest, ClaimedElsewhere)
{
    sensor_.claimFails = true;
    AddSensor();
    Load();
    EXPECT_EQ(Connect(0), nullptr);
    EXPECT_EQ(rec_.Texts(), std::vector<std::string>{"ERR: Can't create file usb#VID_1209&PID_2001#001- (device is used)"});
}

TEST_F(UsbLinkTest, ConnectSetsUpTheResetVoltage)
{
    AddOtherDevice();
    AddSensor();
    Load("VReset=330");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr) << Reports();
    EXPECT_TRUE(rec_.Has("initialized VReset=3.30V (2:ABh)"));
    EXPECT_EQ(Requests(), (std::vector<std::string>{"C0 B0 0 0 0", "C0 80 E02 0 0", "C0 AB 0 0 0", "C0 B0 0 0 0",
                                                    "C0 50 0 0 0", "C0 AA 0 0 0"}));
    close_(acq);
}

TEST_F(UsbLinkTest, FailingVendorRequestClosesTheAcquisition)
{
    sensor_.failing = {0x50};
    AddSensor();
    Load();
    EXPECT_EQ(Connect(0), nullptr);
    const std::vector<std::string> texts = rec_.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "ERR: vendor cmd 50,0,0");
    EXPECT_EQ(texts.back(), "Acquisition closed");
}

TEST_F(UsbLinkTest, CompleteDarkFrame)
{
    AddSensor();
    Load();
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr) << Reports();
    ASSERT_EQ(start_(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close_(acq);
    const std::vector<std::string> texts = rec_.Texts();
    bool complete = false;
    for (const std::string& t : texts) complete = complete || t.rfind("Acquisition complete in ", 0) == 0;
    EXPECT_TRUE(complete) << texts.back();
    std::vector<std::string> requests = Requests();
    ASSERT_GE(requests.size(), 9u);
    EXPECT_EQ(requests[6], "C0 60 0 0 0");
    EXPECT_EQ(requests[7], "C0 B0 0 0 0") << "the two closing requests";
    EXPECT_EQ(requests[8], "C0 B0 0 0 0");
    for (int r = 0; r < H; ++r) {
        for (int c = 0; c < W; ++c) {
            const int expected = 4095 - samples_[static_cast<std::size_t>(r) * W + c];
            ASSERT_EQ(frame_[static_cast<std::size_t>(r) * W + c], expected) << r << "," << c;
        }
    }
    EXPECT_EQ(Discards(), 2) << "the two spare pages are cancelled";
}

TEST_F(UsbLinkTest, StreamThatStopsTimesOutAndCancelsTheRest)
{
    sensor_.stallAfter = 5;
    AddSensor();
    Load();
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr) << Reports();
    ASSERT_EQ(start_(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close_(acq);
    EXPECT_TRUE(rec_.Has("ERR: Time-out in read-out operation Read 163840 words SOL=179"));
    EXPECT_EQ(Discards(), 22 - 5);
}

TEST_F(UsbLinkTest, AbortCancelsEveryOutstandingTransfer)
{
    AddSensor();
    Load();
    AcqStatus* acq = Connect(1);  // bright: waits for the shot
    ASSERT_NE(acq, nullptr) << Reports();
    ASSERT_EQ(start_(acq), 1);
    for (int i = 0; i < 2000 && !rec_.Has("Acqusition flags=1h PRX-APS"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(abort_(acq), 1);
    close_(acq);
    EXPECT_EQ(Discards(), 22);
    const std::vector<std::string> texts = rec_.Texts();
    EXPECT_EQ(texts.back(), "Acquisition closed");
    EXPECT_EQ(texts[texts.size() - 2], "ERR: Abort acquisition");
}

TEST_F(UsbLinkTest, SensorUnpluggedDuringTheReadOut)
{
    sensor_.unplugAfter = 3;
    AddSensor();
    Load();
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr) << Reports();
    ASSERT_EQ(start_(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close_(acq);
    EXPECT_TRUE(rec_.Has("WRN: Read error at page 3: device disconnected"));
    EXPECT_TRUE(rec_.Has("ERR: Transport stream parsing code #-1 Read 98304 words SOL=107"));
    EXPECT_EQ(rec_.Texts().back(), "Acquisition closed");
}

}  // namespace
