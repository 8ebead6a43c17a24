// The exports when no thread can be started: this program's own
// pthread_create, which the library reaches through the process's symbol
// lookup, fails on request. Every start export reports the failure and
// returns its failure value; nothing throws out of the library, and the
// library works again once threads can be had.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <vector>

#include "kordex.h"
#include "platform/text.h"
#include "support/bind_symbol.h"
#include "support/failing_threads.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

std::mutex g_mutex;
std::vector<std::string> g_texts;

int32_t Record(void* record)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts.push_back(static_cast<AcqStatus*>(record)->text);
    return 0;
}

class ThreadFailureTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        setenv("KORDEX_SENSOR_LINK", "virtual", 1);
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        WriteText(dir_.File("kordex.ini"),
                  platform::Format("[Settings]\nHomeDir=%s\nFrameWidth=40\nFrameHeight=30\n[IP1]\nCaption=x\n",
                                   dir_.Path().c_str()));
        setenv("KORDEX_INI", dir_.File("kordex.ini").c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        Bind<void (*)(const char*, int32_t, const char*)>("KX_LogOpen")(nullptr, 1, "threads");
    }
    void TearDown() override
    {
        test_support::g_failThreads = false;
        if (handle_) dlclose(handle_);
        unsetenv("KORDEX_SENSOR_LINK");
        unsetenv("KORDEX_TEST_TIME_SCALE");
    }
    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(handle_, name);
    }
    std::string Log()
    {
        Bind<void (*)()>("KX_LogFlush")();
        return ReadText(dir_.File("Log/threads00.log"));
    }

    TempDir dir_;
    void* handle_ = nullptr;
};

TEST_F(ThreadFailureTest, AReadOutThatCannotStartIsAFailedStart)
{
    auto connect = Bind<AcqStatus* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t)>("KXACQ_Connect");
    auto start = Bind<int32_t (*)(AcqStatus*)>("KXACQ_StartFrame");
    auto close = Bind<void (*)(AcqStatus*)>("KXACQ_Close");
    std::vector<std::int16_t> frame(40 * 30);
    AcqStatus* acq = connect(1, &Record, nullptr, frame.data(), 0);
    ASSERT_NE(acq, nullptr);
    test_support::g_failThreads = true;
    EXPECT_EQ(start(acq), 0);
    test_support::g_failThreads = false;
    EXPECT_EQ(acq->kind, KX_REPORT_ERROR);
    EXPECT_EQ(std::string(acq->text).rfind("ERR: Can't start the read-out: ", 0), 0u) << acq->text;
    close(acq);
    EXPECT_EQ(std::string(acq->text), "Acquisition closed");
}

TEST_F(ThreadFailureTest, JobsThatCannotStartAreRefusedAndTheNextOneRuns)
{
    auto calibrate = Bind<CalibrationJob* (*)(uint32_t, KX_Callback, void*, int16_t*)>("KXC_Process");
    auto closeCalibration = Bind<void (*)(CalibrationJob*)>("KXC_Close");
    auto process = Bind<ProcessingJob* (*)(int32_t, KX_Callback, void*, int16_t*, int32_t)>("KXIP_Process");
    auto closeProcessing = Bind<void (*)(ProcessingJob*)>("KXIP_Close");
    std::vector<std::int16_t> frame(40 * 30, 1000);
    test_support::g_failThreads = true;
    EXPECT_EQ(calibrate(0, nullptr, nullptr, frame.data()), nullptr);
    EXPECT_EQ(process(0, nullptr, nullptr, frame.data(), 1), nullptr);
    test_support::g_failThreads = false;
    const std::string log = Log();
    EXPECT_NE(log.find("ERR: Can't start calibration: "), std::string::npos) << log;
    EXPECT_NE(log.find("ERR: Can't start image processing: "), std::string::npos) << log;

    CalibrationJob* job = calibrate(0, nullptr, nullptr, frame.data());
    ASSERT_NE(job, nullptr);
    closeCalibration(job);
    ProcessingJob* ip = process(0, nullptr, nullptr, frame.data(), 1);
    ASSERT_NE(ip, nullptr);
    closeProcessing(ip);
}

}  // namespace
