// Vendor requests and the reset-voltage set-up. The index is an integer
// division; the voltage code wraps every 28 steps and the step number says
// which wrap, so the sensor can rebuild the index.
#include "acquisition/vendor_requests.h"

#include "acquisition/time_constants.h"
#include "platform/exact_math.h"
#include "platform/text.h"

namespace kordex {

bool IsVoltageCode(std::uint8_t request)
{
    for (std::uint8_t code : kVoltageCodes)
        if (code == request) return true;
    return false;
}

std::array<std::uint8_t, 6> VendorBlock(std::uint8_t request, std::uint16_t value, std::uint16_t index)
{
    return {kRequestType, request, static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(index & 0xFF), static_cast<std::uint8_t>(index >> 8)};
}

std::string VendorText(std::uint8_t request, std::uint16_t value, std::uint16_t index)
{
    return platform::Format("vendor cmd %X,%X,%X", static_cast<unsigned>(request), static_cast<unsigned>(value),
                            static_cast<unsigned>(index));
}

VoltageRange VoltageRangeOf(int vResetStepBase)
{
    switch (vResetStepBase) {
    case 1: return {2, 200, 400};
    case 2: return {2, 100, 300};
    default: return {5, 0, 500};
    }
}

ResetVoltagePlan PlanResetVoltage(int vResetOverride, int vResetSetting, int vResetStepBase)
{
    int requested = vResetOverride & 0x1FF;
    if (requested == 0 || requested == 0x1FF) requested = vResetSetting;
    const VoltageRange range = VoltageRangeOf(vResetStepBase);
    ResetVoltagePlan plan{};
    plan.requested = requested;
    plan.clamped = platform::ClampInt(requested, range.minimum, range.maximum);
    plan.index = platform::TruncDiv(plan.clamped - range.minimum, range.step);
    plan.code = kVoltageCodes[static_cast<std::size_t>(plan.index % static_cast<int>(kVoltageCodes.size()))];
    plan.step = plan.index / static_cast<int>(kVoltageCodes.size());
    return plan;
}

std::string ResetVoltageText(const ResetVoltagePlan& plan)
{
    return platform::Format("initialized VReset=%.2fV (%d:%Xh)", plan.requested * 0.01, plan.step,
                            static_cast<unsigned>(plan.code));
}

bool RunResetVoltageSetUp(const ResetVoltagePlan& plan,
                          const std::function<bool(std::uint8_t, std::uint16_t, std::uint16_t)>& send)
{
    const struct {
        std::uint8_t request;
        std::uint16_t value;
    } sequence[] = {
        {kRequestReset, 0},
        {kRequestSelectStep, static_cast<std::uint16_t>(kSelectStepBase | plan.step)},
        {plan.code, 0},
        {kRequestReset, 0},
        {kRequestPower, 0},
        {kRequestApply, 0},
    };
    const std::size_t count = sizeof sequence / sizeof sequence[0];
    for (std::size_t i = 0; i < count; ++i) {
        if (!send(sequence[i].request, sequence[i].value, 0)) return false;
        if (i + 1 < count) SleepScaledMs(kResetVoltageStepMs);
    }
    return true;
}

}  // namespace kordex
