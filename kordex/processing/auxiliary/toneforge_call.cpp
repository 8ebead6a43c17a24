// Toneforge call. The class reads the settings file itself (its own reader,
// the same file and section as the job), so the job's accessor is untouched.
#include "processing/auxiliary/toneforge_call.h"

#include <algorithm>
#include <vector>

#include "toneforge.h"

namespace kordex::auxiliary {

StageResult RunToneforge(const StageContext& ctx, const std::string& settingsPath, const std::string& section, bool cutCorners)
{
    ctx.Dump("1normal.raw", ctx.image);
    std::vector<unsigned short> output(ctx.Pixels());
    ImgProc_IntraOral enhancement;
    enhancement.SetSize(ctx.width, ctx.height);
    enhancement.SetThreadCount(ctx.threads);
    enhancement.Set_ParamTitle(settingsPath.c_str(), section.c_str());
    enhancement.OnPostProcess(reinterpret_cast<const unsigned short*>(ctx.image), output.data(), cutCorners ? 1 : 0);
    std::copy(output.begin(), output.end(), ctx.image);
    return kStageDone;
}

}  // namespace kordex::auxiliary
