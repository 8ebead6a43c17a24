// The Toneforge processing modes (500 and above): the linked enhancement
// class ImgProc_IntraOral reads its 27 parameters from the mode's section
// and enhances the image into a separate buffer, which is copied back.
#pragma once

#include <string>

#include "frame/stage_result.h"
#include "processing/stage_context.h"

namespace kordex::auxiliary {

// Dumps "1normal.raw"; then construct, SetSize(width, height),
// Set_ParamTitle(settingsPath, section), OnPostProcess(image, output,
// cutCorners) and destroy; the output (0..4095) replaces ctx.image. The
// enhancement splits its passes over ctx.threads (its result does not depend
// on the count). Returns kStageDone.
StageResult RunToneforge(const StageContext& ctx, const std::string& settingsPath, const std::string& section, bool cutCorners);

}  // namespace kordex::auxiliary
