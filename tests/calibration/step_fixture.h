// A small sensor frame with its step context and the reports it produced,
// for calling the calibration steps directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "calibration/calibration_step.h"
#include "frame/settings.h"
#include "support/temp_dir.h"

namespace calibration_test {

struct Line {
    int kind;
    std::string text;
};

class StepFixture : public testing::Test {
protected:
    // A width x height frame filled with value, settings at their defaults,
    // the calibration directory a fresh temporary one.
    void MakeFrame(int width, int height, std::int16_t value)
    {
        frame.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), value);
        ctx.frame = frame.data();
        ctx.width = width;
        ctx.height = height;
        ctx.settings = &settings;
        ctx.threads = 1;
        ctx.abortWord = &abortWord;
        ctx.calibrationDir = dir.Path() + "/";
        ctx.report = [this](int kind, int, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back({kind, text});
        };
    }
    std::int16_t& At(int x, int y) { return frame[static_cast<std::size_t>(y) * ctx.width + x]; }
    std::vector<std::int16_t> Map(std::int16_t value = 0) const
    {
        return std::vector<std::int16_t>(frame.size(), value);
    }
    void WriteFrameFile(const std::string& name, const std::vector<std::int16_t>& pixels)
    {
        test_support::WriteText(dir.File(name),
                                std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 2));
    }
    bool Reported(const std::string& text) const
    {
        for (const Line& l : lines)
            if (l.text == text) return true;
        return false;
    }
    std::string AllLines() const
    {
        std::string all;
        for (const Line& l : lines) all += std::to_string(l.kind) + " " + l.text + "\n";
        return all;
    }

    test_support::TempDir dir;
    kordex::LibrarySettings settings;
    std::vector<std::int16_t> frame;
    std::int32_t abortWord = 0;
    kordex::StepContext ctx;
    std::mutex mutex;
    std::vector<Line> lines;
};

}  // namespace calibration_test
