// Gain points from groups of recorded bright frames of similar level.
#include "calibration/gain_point_generation.h"

#include "calibration/calibration_frame_names.h"
#include "calibration/frame_average.h"
#include "calibration/gain_points.h"
#include "calibration/trimmed_mode.h"
#include "frame/frame_files.h"
#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace kordex {

std::vector<std::string> BrightFrameList(const std::string& dir)
{
    return platform::FindFiles(dir, kBrightFrameMask);
}

std::vector<std::string> GainPointList(const std::string& dir)
{
    return platform::FindFiles(dir, kGainPointMask);
}

std::vector<std::vector<std::size_t>> GroupBrightFrames(const std::vector<std::string>& names, int tolerance)
{
    std::vector<std::vector<std::size_t>> groups;
    std::size_t i = 0;
    while (i < names.size()) {
        int level = BrightFrameLevelOfName(names[i]);
        if (level <= 0) {
            ++i;
            continue;
        }
        std::vector<std::size_t> group{i++};
        while (i < names.size()) {
            const int next = BrightFrameLevelOfName(names[i]);
            if (next < 0 || next - level > tolerance) break;
            group.push_back(i++);
            level = next;
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<GeneratedPoint> GenerateGainPoints(const CalibrationSetContext& ctx, int tolerance, bool* failed)
{
    if (failed) *failed = false;
    const std::vector<std::string> names = BrightFrameList(ctx.calibrationDir);
    const std::size_t pixels = ctx.Pixels();
    const std::size_t bytes = pixels * sizeof(std::int16_t);
    std::vector<std::int16_t> frame(pixels);
    std::vector<GeneratedPoint> points;
    int k = 0;
    for (const std::vector<std::size_t>& group : GroupBrightFrames(names, tolerance)) {
        FrameAverage average(pixels);
        for (std::size_t index : group) {
            // Unreadable frames are left out of their group.
            if (platform::ReadRawFile(platform::ResolveNoCase(ctx.calibrationDir + names[index]), frame.data(),
                                      static_cast<std::int64_t>(bytes), bytes, nullptr))
                average.Add(frame.data());
        }
        GeneratedPoint point;
        point.frames = average.Count();
        if (point.frames > 0) {
            average.Mean(frame.data());
            point.level = TrimmedMode(frame.data(), pixels);
            const std::string name = GainPointName(k, point.level);
            if (WriteRawFrame(*ctx.log, ctx.calibrationDir + name, frame.data(), bytes, false))
                point.name = name;
            else if (failed)
                *failed = true;
        }
        ctx.log->Plain(platform::Format("Create %s from %d frames", point.name.c_str(), point.frames));
        points.push_back(point);
        ++k;
    }
    return points;
}

}  // namespace kordex
