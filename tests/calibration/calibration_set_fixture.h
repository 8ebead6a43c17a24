// A calibration-set context on a temporary directory, with the log written
// into it so a test can read the lines the tools produced.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "calibration/calibration_set_context.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "support/temp_dir.h"

namespace calibration_test {

class CalibrationSetFixture : public testing::Test {
protected:
    // A width x height frame without margins; the log is open as "t".
    void MakeSet(int width, int height)
    {
        ASSERT_TRUE(dir.Ok());
        settings.numParallelThreads = 2;
        ctx.width = width;
        ctx.height = height;
        ctx.settings = &settings;
        ctx.homePath = dir.Path() + "/";
        ctx.calibrationDir = dir.Path() + "/CAL/";
        ctx.log = &log;
        std::filesystem::create_directories(dir.File("CAL"));
        log.Open(ctx.homePath, 1, "t");
    }
    std::vector<std::int16_t> Flat(std::int16_t value) const
    {
        return std::vector<std::int16_t>(ctx.Pixels(), value);
    }
    std::int16_t& At(std::vector<std::int16_t>& f, int x, int y) const
    {
        return f[static_cast<std::size_t>(y) * static_cast<std::size_t>(ctx.width) + static_cast<std::size_t>(x)];
    }
    void WriteFrame(const std::string& name, const std::vector<std::int16_t>& pixels) const
    {
        test_support::WriteText(ctx.calibrationDir + name,
                                std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 2));
    }
    std::vector<std::int16_t> ReadFrame(const std::string& name) const
    {
        const std::string bytes = test_support::ReadText(ctx.calibrationDir + name);
        std::vector<std::int16_t> pixels(bytes.size() / 2);
        std::memcpy(pixels.data(), bytes.data(), pixels.size() * 2);
        return pixels;
    }
    std::string LogText()
    {
        log.Flush();
        return test_support::ReadText(dir.File("Log/t00.log"));
    }
    bool Logged(const std::string& line) { return LogText().find(line + "\n") != std::string::npos; }

    test_support::TempDir dir;
    kordex::LibrarySettings settings;
    kordex::Log log;
    kordex::CalibrationSetContext ctx;
};

}  // namespace calibration_test
