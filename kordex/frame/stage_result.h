// StageResult: what a step of the calibration chain or a stage of the
// processing chains did. A failed optional step logs a warning and never
// stops the job; the driver decides what a failure means for its job.
#pragma once

namespace kordex {

enum StageResult : int {
    kStageFailed = -1,   // could not be applied, or the job was aborted
    kStageSkipped = 0,   // nothing to do (switched off, no data, left out)
    kStageDone = 1,
};

}  // namespace kordex
