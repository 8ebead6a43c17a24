// Loading the gain calibration points.
#include "calibration/gain_points.h"

#include "calibration/calibration_frame_names.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {

int GainLevelOfName(std::string_view fileName)
{
    return LevelOfNameField(fileName, 4);
}

void OrderGainPoints(const std::vector<std::string>& found, GainPointSet* set)
{
    set->count = 0;
    set->levels.clear();
    set->names.clear();
    for (const std::string& name : found) {
        if (set->count >= kMaxGainPoints) break;
        const int level = GainLevelOfName(name);
        if (level <= 0) continue;
        std::size_t at = 0;
        while (at < set->levels.size() && set->levels[at] < level) ++at;
        set->levels.insert(set->levels.begin() + static_cast<std::ptrdiff_t>(at), level);
        set->names.insert(set->names.begin() + static_cast<std::ptrdiff_t>(at), name);
        ++set->count;
    }
}

int LoadGainPoints(const StepContext& ctx, GainPointSet* set, std::string* message)
{
    set->frames.clear();
    OrderGainPoints(platform::FindFiles(ctx.calibrationDir, kGainPointMask), set);
    const std::size_t pixels = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height);
    for (int i = 0; i < set->count; ++i) {
        // Not zeroed first: the read fills every pixel or fails.
        set->frames.push_back(std::make_unique_for_overwrite<std::int16_t[]>(pixels));
        if (!ReadFrameFile(ctx, ctx.calibrationDir + set->names[static_cast<std::size_t>(i)], set->frames.back().get())) {
            *set = GainPointSet{};
            *message = MessageText(ctx.messages, kMsgGainPointLoad);
            return -1;
        }
    }
    if (set->count == 0) {
        *message = "WRN: GainCal calibration omitted";
        return 0;
    }
    *message = platform::Format("GainCal start with %d points", set->count);
    if (set->count == 1)
        set->function = GainFunction::SinglePoint;
    else
        set->function = ctx.settings->calLagrange != 0 ? GainFunction::Lagrange : GainFunction::PiecewiseLinear;
    return 1;
}

}  // namespace kordex
