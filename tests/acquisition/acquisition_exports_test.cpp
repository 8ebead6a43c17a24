// The acquisition exports as a caller sees them, with the virtual sensor:
// libkordex.so loaded at run time with a settings file of the test's own,
// the time constants scaled down.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kordex.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

struct Seen {
    int kind, event, stage, progress, lines, state;
    std::string text;
};

// Records every report the callback receives (in the reporting thread).
class Recorder {
public:
    static int32_t Callback(void* record)
    {
        auto* s = static_cast<AcqStatus*>(record);
        auto* self = static_cast<Recorder*>(s->context);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->seen_.push_back({s->kind, s->event, s->stage, s->progress, s->lines, s->state, s->text});
        self->changed_.notify_all();
        return 0;
    }
    // Waits until a report satisfies done (at most 20 s).
    template <typename F>
    bool WaitFor(F done)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (const Seen& s : seen_)
                if (done(s)) return true;
            return false;
        });
    }
    bool WaitForEnd()
    {
        return WaitFor([](const Seen& s) { return s.kind == 2 || (s.event == 21 && s.progress == 255); });
    }
    std::vector<Seen> All()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    std::vector<std::string> Texts()
    {
        std::vector<std::string> texts;
        for (const Seen& s : All()) texts.push_back(s.text);
        return texts;
    }
    bool Has(const std::string& text)
    {
        for (const Seen& s : All())
            if (s.text == text) return true;
        return false;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Seen> seen_;
};

using ConnectFn = AcqStatus* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t);
using HandleFn = int32_t (*)(AcqStatus*);
using CloseFn = void (*)(AcqStatus*);
using VendorFn = int32_t (*)(AcqStatus*, int32_t, int32_t, int32_t);

class AcquisitionExportsTest : public testing::Test {
protected:
    static constexpr int W = 910, H = 688;

    void SetUp() override
    {
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        setenv("KORDEX_SENSOR_LINK", "virtual", 1);
        frame_.assign(static_cast<std::size_t>(W) * H, 0);
    }
    void TearDown() override
    {
        Unload();
        unsetenv("KORDEX_TEST_TIME_SCALE");
        unsetenv("KORDEX_SENSOR_LINK");
    }

    // settings: extra [Settings] lines; sensor: [Virtual Sensor] lines.
    void Load(const std::string& settings, const std::string& sensor = "", const TempDir* dir = nullptr)
    {
        const TempDir& d = dir ? *dir : dir_;
        ASSERT_TRUE(d.Ok());
        home_ = d.File("home/");
        std::filesystem::create_directories(home_);
        ini_ = d.File("kordex.ini");
        // The first matching key wins: the test's own lines come before the defaults.
        WriteText(ini_, "[Settings]\nHomeDir=" + home_ + "\n" + settings + "\n[Virtual Sensor]\n" + sensor +
                            "\nShotDelayMs=0\nStreamMBps=200\n");
        setenv("KORDEX_INI", ini_.c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        connect = Bind<ConnectFn>("KXACQ_Connect");
        start = Bind<HandleFn>("KXACQ_StartFrame");
        abort = Bind<HandleFn>("KXACQ_Abort");
        close = Bind<CloseFn>("KXACQ_Close");
        vendor = Bind<VendorFn>("KXACQ_VendorCommand");
        auto logOpen = Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen");
        logOpen(nullptr, 1, "acq");
    }
    void Unload()
    {
        if (handle_) dlclose(handle_);
        handle_ = nullptr;
    }
    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(handle_, name);
    }
    AcqStatus* Connect(int32_t flags, int32_t vReset = 0)
    {
        return connect(flags, &Recorder::Callback, &rec_, frame_.data(), vReset);
    }
    std::string LogText()
    {
        Bind<void (*)()>("KX_LogFlush")();
        return ReadText(home_ + "Log/acq00.log");
    }
    int Missing() const
    {
        int n = 0;
        for (std::int16_t v : frame_) n += v == static_cast<std::int16_t>(0x8000);
        return n;
    }

    TempDir dir_;
    std::string home_, ini_;
    void* handle_ = nullptr;
    Recorder rec_;
    std::vector<std::int16_t> frame_;
    ConnectFn connect = nullptr;
    HandleFn start = nullptr, abort = nullptr;
    CloseFn close = nullptr;
    VendorFn vendor = nullptr;
};

TEST_F(AcquisitionExportsTest, CompleteDarkFrame)
{
    Load("", "Noise=0");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    EXPECT_TRUE(rec_.Has("device PID 2001 interface 0 connection OK"));
    EXPECT_TRUE(rec_.Has("initialized VReset=3.30V (2:ABh)"));
    rec_.Clear();
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);

    const std::vector<Seen> seen = rec_.All();
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front().event, 21);
    EXPECT_EQ(seen.front().kind, 1);
    EXPECT_EQ(seen.front().progress, 0);
    EXPECT_EQ(seen.front().text, "Acqusition flags=0h PRX-APS");
    int pages = 0;
    for (std::size_t i = 1; i + 2 < seen.size(); ++i) {
        EXPECT_EQ(seen[i].event, 22) << i;
        EXPECT_EQ(seen[i].text, "");
        ++pages;
    }
    EXPECT_EQ(pages, 20) << "1,254,916 bytes in reads of 65,536";
    EXPECT_EQ(seen[seen.size() - 3].progress, 100);
    const Seen& done = seen[seen.size() - 2];
    EXPECT_EQ(done.event, 21);
    EXPECT_EQ(done.kind, 0);
    EXPECT_EQ(done.progress, 255);
    EXPECT_EQ(done.lines, H);
    EXPECT_EQ(done.text.rfind("Acquisition complete in ", 0), 0u) << done.text;
    EXPECT_EQ(done.text.back(), 'c');
    EXPECT_EQ(seen.back().event, 2);
    EXPECT_EQ(seen.back().text, "Acquisition closed");
    EXPECT_EQ(seen.back().state, 0);

    EXPECT_EQ(Missing(), 0);
    double sum = 0;
    for (std::int16_t v : frame_) sum += v;
    EXPECT_NEAR(sum / frame_.size(), 240.0, 40.0) << "a dark frame reads the dark offset";
    const std::string log = LogText();
    EXPECT_NE(log.find("WRN: virtual sensor: simulated dark frame"), std::string::npos) << log;
}

TEST_F(AcquisitionExportsTest, MissingLastLineIsPrematureEof)
{
    Load("", "MissingLines=687");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    EXPECT_EQ(acq->state, -1);
    const std::vector<Seen> seen = rec_.All();
    const Seen& error = seen.back();
    EXPECT_EQ(error.kind, 2);
    EXPECT_EQ(error.event, 20);
    EXPECT_EQ(error.stage, 3);
    EXPECT_EQ(error.text, "ERR: Premature EOF Read 626546 words SOL=686");
    close(acq);
}

TEST_F(AcquisitionExportsTest, StreamWithoutEndMarker)
{
    struct Case {
        const char* sensor;
        const char* text;
    } cases[] = {
        {"EndMarker=0", "ERR: Time-out in read-out operation Read 627456 words SOL=687"},
        {"StallAfterPages=5", "ERR: Time-out in read-out operation Read 163840 words SOL=179"},
        {"RunOn=1", "ERR: Transport stream parsing code #-1 Read 720896 words SOL=687"},
    };
    for (const Case& c : cases) {
        rec_.Clear();
        Load("", c.sensor);
        AcqStatus* acq = Connect(0);
        ASSERT_NE(acq, nullptr);
        ASSERT_EQ(start(acq), 1);
        ASSERT_TRUE(rec_.WaitForEnd());
        EXPECT_EQ(rec_.All().back().text, c.text) << c.sensor;
        EXPECT_EQ(acq->state, -1);
        close(acq);
        Unload();
    }
}

TEST_F(AcquisitionExportsTest, AbortBeforeTheShotEndsAtOnceWithoutFinalReport)
{
    Load("", "ShotDelayMs=600000");
    AcqStatus* acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1) << "a bright frame sends no start request without Bright61";
    ASSERT_TRUE(rec_.WaitFor([](const Seen& s) { return s.event == 21; }));
    EXPECT_EQ(rec_.All().back().text, "Acqusition flags=1h PRX-APS");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(abort(acq), 1);
    close(acq);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(2500));
    std::vector<std::string> texts;
    for (const Seen& s : rec_.All())
        if (s.event != 20) texts.push_back(s.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Acqusition flags=1h PRX-APS", "ERR: Abort acquisition",
                                               "Acquisition closed"}));
    for (const Seen& s : rec_.All()) {
        if (s.text != "ERR: Abort acquisition") continue;
        EXPECT_EQ(s.event, 1);
        EXPECT_EQ(s.kind, 2);
        EXPECT_EQ(s.stage, 0);
        EXPECT_EQ(s.state, -1);
    }
}

TEST_F(AcquisitionExportsTest, SecondStartWhileReadingIsRefused)
{
    Load("", "ShotDelayMs=600000");
    AcqStatus* acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitFor([](const Seen& s) { return s.event == 21; }));
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitFor([](const Seen& s) { return s.kind == 2; }));
    bool found = false;
    for (const Seen& s : rec_.All())
        if (s.kind == 2) {
            EXPECT_EQ(s.text, "ERR: Internal error. Simultaneous acquisition are not supported");
            EXPECT_EQ(s.event, 20);
            EXPECT_EQ(s.stage, 3);
            found = true;
        }
    EXPECT_TRUE(found);
    close(acq);
    EXPECT_EQ(rec_.All().back().text, "Acquisition closed") << "the error also stops the first read-out";
}

TEST_F(AcquisitionExportsTest, ResetVoltageOfSettingAndOverride)
{
    struct Case {
        const char* settings;
        int override;
        const char* step;
        const char* code;
        const char* text;
    } cases[] = {
        {"VReset=330", 0, "vendor cmd 80,E02,0", "vendor cmd AB,0,0", "initialized VReset=3.30V (2:ABh)"},
        {"VReset=600", 0, "vendor cmd 80,E03,0", "vendor cmd B3,0,0", "initialized VReset=6.00V (3:B3h)"},
        {"VReset=330", 511, "vendor cmd 80,E02,0", "vendor cmd AB,0,0", "initialized VReset=3.30V (2:ABh)"},
        {"VReset=330", 762, "vendor cmd 80,E00,0", "vendor cmd BC,0,0", "initialized VReset=2.50V (0:BCh)"},
    };
    for (const Case& c : cases) {
        rec_.Clear();
        Load(std::string(c.settings) + "\nDebugAcqDump=1");
        AcqStatus* acq = Connect(0, c.override);
        ASSERT_NE(acq, nullptr) << c.settings;
        const std::vector<std::string> texts = rec_.Texts();
        const std::vector<std::string> expected = {"device PID 2001 interface 0 connection OK",
                                                   "vendor cmd B0,0,0", c.step, c.code, "vendor cmd B0,0,0",
                                                   "vendor cmd 50,0,0", "vendor cmd AA,0,0", c.text};
        EXPECT_EQ(texts, expected) << c.settings << " " << c.override;
        close(acq);
        Unload();
    }
}

TEST_F(AcquisitionExportsTest, DiscoveryRulesAndFailures)
{
    struct Case {
        const char* settings;
        const char* sensor;
        const char* text;  // the connect's only report on failure, or its success line
        bool connects;
    } cases[] = {
        {"PID=xyz", "", "device PID 2001 interface 0 connection OK", true},
        {"PID=2001", "DevicePath=usb#vid_1209&pid_2001#001-1", "device PID 2001 interface 0 connection OK", true},
        {"PID=2001", "OtherDevices=2", "device PID 2001 interface 2 connection OK", true},
        {"PID=2002", "ProductId=2001\nOtherDevices=1", "ERR: PID2002 no interface #2 (check connection)", false},
        {"", "Fault=missing", "ERR: PID2001 no interface #0 (check connection)", false},
        {"", "Fault=unreadable", "ERR: PID2001 wrong interface #0 (check USB-drivers)", false},
        {"", "Fault=busy", "ERR: Can't create file usb#VID_1209&PID_2001#001-1 (device is used)", false},
        {"", "Fault=no_driver", "ERR: Can't request class 6b1d8e52-3f4a-4c2e-9a71 (no driver installed)", false},
    };
    for (const Case& c : cases) {
        rec_.Clear();
        Load(c.settings, c.sensor);
        AcqStatus* acq = Connect(0);
        EXPECT_EQ(acq != nullptr, c.connects) << c.sensor;
        const std::vector<Seen> seen = rec_.All();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front().text, c.text) << c.settings << " " << c.sensor;
        if (!c.connects) {
            EXPECT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen.front().state, -1);
            EXPECT_EQ(seen.front().stage, 1);
        }
        close(acq);
        Unload();
    }
}

TEST_F(AcquisitionExportsTest, FailedSetUpClosesTheAcquisition)
{
    Load("", "FailRequest=50");
    EXPECT_EQ(Connect(0), nullptr);
    const std::vector<std::string> texts = rec_.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "ERR: vendor cmd 50,0,0");
    EXPECT_EQ(texts.back(), "Acquisition closed");
}

TEST_F(AcquisitionExportsTest, VendorCommandsAreAnsweredLikeTheDevice)
{
    Load("");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    rec_.Clear();
    EXPECT_EQ(vendor(nullptr, 0x50, 0, 0), 0) << "power without a latched code fails";
    EXPECT_EQ(rec_.Texts(), std::vector<std::string>{"ERR: vendor cmd 50,0,0"});
    EXPECT_EQ(vendor(nullptr, 0xB0, 0, 0), 1);
    close(acq);
    rec_.Clear();
    EXPECT_EQ(vendor(nullptr, 0xB0, 0, 0), 0) << "no device open";
}

TEST_F(AcquisitionExportsTest, FailedStartRequestStartsNothing)
{
    Load("", "FailRequest=60");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    EXPECT_EQ(start(acq), 0);
    EXPECT_EQ(rec_.All().back().text, "ERR: vendor cmd 60,0,0");
    EXPECT_EQ(start(nullptr), 0);
    close(acq);
}

TEST_F(AcquisitionExportsTest, OddByteCountIsWarnedAndDropped)
{
    Load("", "OddBytesAtPage=3");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    EXPECT_TRUE(rec_.Has("WRN: Read odd number of bytes 65535 at page 3"));
    EXPECT_EQ(rec_.All().back().progress, 255);
    EXPECT_EQ(Missing(), 0);
    close(acq);
}

TEST_F(AcquisitionExportsTest, CloseKeepsAndLogsADeliveredFrameOnly)
{
    Load("SaveTempAcqFrame=1\nLogAcqFramesNumBright=2", "Noise=0");
    AcqStatus* acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);
    const std::string bytes(reinterpret_cast<const char*>(frame_.data()), frame_.size() * 2);
    EXPECT_EQ(ReadText(home_ + "CAL/$a_rawbright.raw"), bytes);
    EXPECT_EQ(ReadText(home_ + "Log/$B00.raw"), bytes);
    Unload();

    TempDir other;
    Load("SaveTempAcqFrame=1\nLogAcqFramesNumBright=2", "MissingLines=687", &other);
    acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);
    EXPECT_FALSE(std::filesystem::exists(home_ + "CAL/$a_rawbright.raw")) << "not after an error";
    EXPECT_FALSE(std::filesystem::exists(home_ + "Log/$B00.raw"));
    Unload();

    // A close that begins while the frame still streams decides once the
    // read-out has ended: the frame completes within the wait and is kept.
    TempDir third;
    rec_.Clear();
    Load("SaveTempAcqFrame=1\nLogAcqFramesNumBright=2", "StreamMBps=10", &third);
    acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitFor([](const Seen& s) { return s.event == 22; })) << "the first page";
    close(acq);
    EXPECT_EQ(acq->progress, 255);
    EXPECT_EQ(ReadText(home_ + "Log/$B00.raw"),
              std::string(reinterpret_cast<const char*>(frame_.data()), frame_.size() * 2));
}

TEST_F(AcquisitionExportsTest, ReplayedDumpReproducesItsFrame)
{
    Load("DebugAcqDump=1");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);
    EXPECT_TRUE(rec_.Has("Debug dump 19 data pages \"Log/$a*.bin\""));
    EXPECT_TRUE(rec_.Has("Read 627458 words (627458 data words) SOL=687 EOL=687 COL=909"))
        << "with DebugAcqDump the completion names the counts";
    const std::vector<std::int16_t> original = frame_;
    const std::string dumps = home_ + "Log";
    Unload();

    TempDir other;
    frame_.assign(frame_.size(), 0);
    Load("", "ReplayDir=" + dumps + "\nSeed=99", &other);
    acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);
    EXPECT_EQ(frame_, original);
}

TEST_F(AcquisitionExportsTest, DamagedFramesSayWhatIsMissing)
{
    // A lost line inside the frame: delivered, with a warning of its count.
    Load("", "MissingLines=100");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    EXPECT_EQ(rec_.All().back().progress, 255);
    EXPECT_EQ(Missing(), W);
    EXPECT_TRUE(rec_.Has("WRN: frame delivered with 910 undelivered pixels")) << LogText();
    close(acq);
    EXPECT_NE(LogText().find("WRN: frame delivered with 910 undelivered pixels"), std::string::npos);
    Unload();

    // A whole frame says nothing of the kind.
    rec_.Clear();
    Load("", "");
    acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    for (const Seen& seen : rec_.All()) EXPECT_EQ(seen.text.rfind("WRN: ", 0), std::string::npos) << seen.text;
    close(acq);
}

TEST_F(AcquisitionExportsTest, AStreamOfMoreLinesThanTheFrameSaysSo)
{
    // The dumps of a 688-line frame replayed into a 600-line frame: the lines
    // beyond it are dropped, and the log says so.
    Load("DebugAcqDump=1");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    close(acq);
    const std::string dumps = home_ + "Log";
    Unload();

    TempDir other;
    rec_.Clear();
    frame_.assign(static_cast<std::size_t>(W) * 600, 0);
    Load("FrameHeight=600", "ReplayDir=" + dumps, &other);
    acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    // Its pages run out first (they are counted for 600 lines), so it fails;
    // the warning says why.
    EXPECT_TRUE(rec_.Has("WRN: stream lines up to 682 exceed the frame height 600")) << LogText();
    EXPECT_EQ(rec_.All().back().kind, 2);
    close(acq);
}

TEST_F(AcquisitionExportsTest, ADarkFrameWhoseFirstPageNeverComesTimesOut)
{
    // A dark frame does not wait for the X-ray button, so it gets the read
    // time-out (15 s, scaled here) even before its first page.
    Load("", "StallAfterPages=0");
    AcqStatus* acq = Connect(0);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitForEnd());
    EXPECT_EQ(rec_.All().back().text, "ERR: Time-out in read-out operation Read 0 words SOL=-1");
    close(acq);
}

TEST_F(AcquisitionExportsTest, TheFrameIsNeverTouchedAfterACloseThatTimedOut)
{
    // A slow stream at the real time scale: pages every quarter second keep
    // the read-out going for about five seconds, past the close's 3000 ms.
    // After the close neither the frame nor the callback hears of it again.
    unsetenv("KORDEX_TEST_TIME_SCALE");
    Load("", "StreamMBps=0.25");
    AcqStatus* acq = Connect(1);
    ASSERT_NE(acq, nullptr);
    ASSERT_EQ(start(acq), 1);
    ASSERT_TRUE(rec_.WaitFor([](const Seen& s) { return s.event == 22; })) << "the first page";
    close(acq);
    const std::vector<std::int16_t> atClose = frame_;
    const std::size_t reports = rec_.All().size();
    EXPECT_EQ(rec_.All().back().text, "WRN: Acquisition closed by timeout");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(frame_, atClose);
    EXPECT_EQ(rec_.All().size(), reports) << rec_.All().back().text;
}

TEST_F(AcquisitionExportsTest, LifecyclesWithRandomDelaysNeverTouchAFreedFrame)
{
    // Connect, start, maybe abort, close at random moments; the frame is
    // freed as soon as the close returns.
    Load("", "StreamMBps=20");
    std::mt19937 random(6);
    std::uniform_int_distribution<int> delay(0, 40), coin(0, 1);
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(round);
        auto* frame = new std::int16_t[frame_.size()];
        AcqStatus* acq = connect(coin(random), &Recorder::Callback, &rec_, frame, 0);
        ASSERT_NE(acq, nullptr);
        if (coin(random)) start(acq);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        if (coin(random)) abort(acq);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        close(acq);
        delete[] frame;
    }
}

}  // namespace
