// The get-image exports as a caller without Qt sees them: libkordex.so
// loaded at run time, no QApplication and no display, so the library makes
// its own application on the offscreen platform for every call.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "kordex.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;
using test_support::WriteText;

// The library is loaded once for the suite (it reads its settings when it
// loads) and stays loaded.
class GetImageExportsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir;
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        setenv("KORDEX_SENSOR_LINK", "virtual", 1);
        setenv("KORDEX_TEST_TIME_SCALE", "0.05", 1);
        const std::string ini = dir_->File("kordex.ini");
        WriteText(ini, "[Settings]\nHomeDir=" + dir_->File("home/") +
                           "\n[Virtual Sensor]\nShotDelayMs=0\nStreamMBps=400\n");
        setenv("KORDEX_INI", ini.c_str(), 1);
        handle_ = dlopen(KORDEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(dir_->Ok());
        ASSERT_NE(handle_, nullptr) << dlerror();
        setAcquisition = Bind<decltype(&KX_Set_Acquisition)>("KX_Set_Acquisition");
        setCalibration = Bind<decltype(&KX_Set_Calibration)>("KX_Set_Calibration");
        setProcessing = Bind<decltype(&KX_Set_ImgProcess)>("KX_Set_ImgProcess");
        getImage = Bind<decltype(&KX_GetImage)>("KX_GetImage");
        getImageSP = Bind<decltype(&KX_GetImageSP)>("KX_GetImageSP");
        getImageA = Bind<decltype(&KX_GetImageA)>("KX_GetImageA");
        cancel = Bind<decltype(&KX_GetImageCancel)>("KX_GetImageCancel");
    }
    template <typename F>
    F Bind(const char* name)
    {
        return test_support::BindSymbol<F>(handle_, name);
    }

    static TempDir* dir_;
    static void* handle_;
    decltype(&KX_Set_Acquisition) setAcquisition = nullptr;
    decltype(&KX_Set_Calibration) setCalibration = nullptr;
    decltype(&KX_Set_ImgProcess) setProcessing = nullptr;
    decltype(&KX_GetImage) getImage = nullptr;
    decltype(&KX_GetImageSP) getImageSP = nullptr;
    decltype(&KX_GetImageA) getImageA = nullptr;
    decltype(&KX_GetImageCancel) cancel = nullptr;
};

TempDir* GetImageExportsTest::dir_ = nullptr;
void* GetImageExportsTest::handle_ = nullptr;

TEST_F(GetImageExportsTest, WindowsRunWithoutHostApplicationOrDisplay)
{
    EXPECT_EQ(cancel(), 0) << "no window runs";
    setAcquisition(0, nullptr, 0, nullptr, nullptr);
    setCalibration(0, nullptr, nullptr, nullptr, nullptr);
    setProcessing(0, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(getImage(nullptr), 1);
    EXPECT_EQ(getImageSP(nullptr, 5, 5, 200, 150), 1);
    EXPECT_EQ(getImageA(nullptr, 0, 0), 1);
    EXPECT_EQ(getImage(nullptr), 1) << "a second application is made after the first one ended";
}

TEST_F(GetImageExportsTest, StoredStagesTakeADarkFrameCalibratedAndCut)
{
    int32_t width = 0, height = 0;
    Bind<decltype(&KXACQ_GetFrameDim)>("KXACQ_GetFrameDim")(&width, &height);
    int32_t cutWidth = 0, cutHeight = 0;
    Bind<decltype(&KXC_GetImageDim)>("KXC_GetImageDim")(&cutWidth, &cutHeight);
    std::vector<int16_t> frame(static_cast<std::size_t>(width) * height, 0);
    std::vector<int16_t> cut(static_cast<std::size_t>(cutWidth) * cutHeight, 0);
    setAcquisition(0, frame.data(), 0, nullptr, nullptr);
    setCalibration(0, frame.data(), cut.data(), nullptr, nullptr);
    setProcessing(0, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(getImage(nullptr), 1);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), static_cast<int16_t>(0x8000)), 0) << "every pixel arrived";
    EXPECT_GT(*std::max_element(cut.begin(), cut.end()), 0) << "the calibrated frame was cut into the image";
}

}  // namespace
