// Gain points from groups of recorded bright frames of similar level.
#include "calibration/gain_point_generation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "calibration/calibration_frame_names.h"
#include "calibration/frame_average.h"
#include "calibration/gain_points.h"
#include "calibration/trimmed_mode.h"
#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace kordex {
namespace {

// Temporary point files: the point name behind this prefix.
constexpr const char* kTemporaryPrefix = "$";
constexpr const char* kTemporaryPointMask = "$A??_?????.raw";

struct Failure {
    std::string text;
    int code = 0;
};

std::string TemporaryPath(const std::string& dir, const std::string& name)
{
    return dir + kTemporaryPrefix + name;
}

// Renames every written point into place. A target that exists as anything
// but a regular file (a rename could not replace it) is found before the
// first rename, so the usual failure leaves the old set whole.
bool PutInPlace(const std::string& dir, const std::vector<GeneratedPoint>& points, Failure* failure,
                std::vector<std::string>* placed)
{
    for (const GeneratedPoint& p : points) {
        if (p.name.empty()) continue;
        struct stat info {};
        const std::string target = dir + p.name;
        if (lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            *failure = {platform::Format("can't create %s", target.c_str()),
                        S_ISDIR(info.st_mode) ? EISDIR : EEXIST};
            return false;
        }
    }
    for (const GeneratedPoint& p : points) {
        if (p.name.empty()) continue;
        const std::string target = dir + p.name;
        if (std::rename(TemporaryPath(dir, p.name).c_str(), target.c_str()) != 0) {
            *failure = {platform::Format("can't create %s", target.c_str()), errno};
            return false;
        }
        placed->push_back(p.name);
    }
    return true;
}

// Deletes the gain points of dir that are not among keep. Names are compared
// exactly: an old "a00_08233.RAW" is not the new "A00_08233.raw".
bool DeleteOtherPoints(const std::string& dir, const std::vector<std::string>& keep, Failure* failure)
{
    const std::set<std::string> kept(keep.begin(), keep.end());
    for (const std::string& name : GainPointList(dir)) {
        if (kept.count(name) != 0) continue;
        if (unlink((dir + name).c_str()) != 0 && errno != ENOENT) {
            *failure = {platform::Format("can't delete %s", (dir + name).c_str()), errno};
            return false;
        }
    }
    return true;
}

}  // namespace

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

GainPointGeneration GenerateGainPoints(const CalibrationSetContext& ctx, int tolerance)
{
    const std::string& dir = ctx.calibrationDir;
    platform::DeleteByMask(dir, kTemporaryPointMask);
    const std::vector<std::string> names = BrightFrameList(dir);
    const std::size_t pixels = ctx.Pixels();
    const std::size_t bytes = pixels * sizeof(std::int16_t);
    std::vector<std::int16_t> frame(pixels);
    GainPointGeneration result;
    Failure failure;
    bool failed = false;
    int k = 0;
    for (const std::vector<std::size_t>& group : GroupBrightFrames(names, tolerance)) {
        GeneratedPoint point;
        point.sources = names[group.front()];
        if (group.size() > 1) point.sources += ".." + names[group.back()];
        FrameAverage average(pixels);
        for (std::size_t index : group) {
            // Unreadable frames are left out of their group.
            if (platform::ReadRawFile(platform::ResolveNoCase(dir + names[index]), frame.data(),
                                      static_cast<std::int64_t>(bytes), bytes, nullptr))
                average.Add(frame.data());
        }
        point.frames = average.Count();
        if (point.frames > 0) {
            average.Mean(frame.data());
            point.level = TrimmedMode(frame.data(), pixels);
            point.name = GainPointName(k, point.level);
            platform::FileError error;
            if (!platform::WriteRawFile(TemporaryPath(dir, point.name), frame.data(), bytes, &error)) {
                failure = {error.text, error.code};
                failed = true;
            }
        }
        result.points.push_back(point);
        if (failed) break;
        ++k;
    }

    bool any = false;
    for (const GeneratedPoint& p : result.points) any = any || !p.name.empty();
    if (!failed && !any) {
        failure = {kNoGainPointText, 0};
        failed = true;
    }
    std::vector<std::string> placed;
    if (!failed) failed = !PutInPlace(dir, result.points, &failure, &placed);
    if (!failed) failed = !DeleteOtherPoints(dir, placed, &failure);
    platform::DeleteByMask(dir, kTemporaryPointMask);

    const std::set<std::string> inPlace(placed.begin(), placed.end());
    for (GeneratedPoint& p : result.points) {
        if (p.frames == 0)
            ctx.log->Plain(platform::Format(kNoPointFromFormat, p.sources.c_str()));
        else if (inPlace.count(p.name) == 0)
            p.name.clear();
        else
            ctx.log->Plain(platform::Format(kCreatePointFormat, p.name.c_str(), p.frames));
    }
    result.ok = !failed;
    if (failed) {
        ctx.log->Error(failure.text, failure.code);
        result.error = failure.text;
        if (failure.code != 0) result.error += " (" + platform::SystemErrorText(failure.code) + ")";
    }
    return result;
}

}  // namespace kordex
