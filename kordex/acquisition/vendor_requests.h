// Vendor requests of the sensor and the reset-voltage set-up that follows
// every connect.
//
// A vendor request is a 6-byte block: request type 0xC0, request code, value
// and index (little-endian). The set-up selects one of 28 voltage codes and a
// step number from the requested voltage:
//   0xB0, 0x80 (0xE00 | step), the code, 0xB0, 0x50, 0xAA, 100 ms apart.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kordex {

inline constexpr std::uint8_t kRequestType = 0xC0;
inline constexpr std::uint8_t kRequestReset = 0xB0;
inline constexpr std::uint8_t kRequestSelectStep = 0x80;
inline constexpr std::uint16_t kSelectStepBase = 0xE00;
inline constexpr std::uint8_t kRequestPower = 0x50;
inline constexpr std::uint8_t kRequestApply = 0xAA;
inline constexpr std::uint8_t kRequestStartDark = 0x60;
inline constexpr std::uint8_t kRequestStartBright = 0x61;

// The 28 voltage codes in order (0xA0, 0xAA and 0xB0 are not among them).
inline constexpr std::array<std::uint8_t, 28> kVoltageCodes = {
    0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE};

// True for a request code that is one of the voltage codes.
bool IsVoltageCode(std::uint8_t request);

// The 6-byte request block.
std::array<std::uint8_t, 6> VendorBlock(std::uint8_t request, std::uint16_t value, std::uint16_t index);

// "vendor cmd %X,%X,%X": the text of the request's log line.
std::string VendorText(std::uint8_t request, std::uint16_t value, std::uint16_t index);

// The reset-voltage range of a VResetStepBase value (units of 0.01 V).
struct VoltageRange {
    int step;
    int minimum;
    int maximum;
};
VoltageRange VoltageRangeOf(int vResetStepBase);

struct ResetVoltagePlan {
    int requested;  // the voltage asked for (units of 0.01 V), not clamped
    int clamped;    // limited to the range
    int index;      // (clamped - minimum) / step
    std::uint8_t code;  // kVoltageCodes[index % 28]
    int step;       // index / 28
};

// The override's low 9 bits, or the VReset setting when they are 0 or 511;
// then the code and step number of that voltage.
ResetVoltagePlan PlanResetVoltage(int vResetOverride, int vResetSetting, int vResetStepBase);

// "initialized VReset=%.2fV (%d:%Xh)".
std::string ResetVoltageText(const ResetVoltagePlan& plan);

// Sends the set-up sequence through send, waiting the (scaled) 100 ms after
// each request but the last. Stops at the first failed request: false.
bool RunResetVoltageSetUp(const ResetVoltagePlan& plan,
                          const std::function<bool(std::uint8_t, std::uint16_t, std::uint16_t)>& send);

}  // namespace kordex
