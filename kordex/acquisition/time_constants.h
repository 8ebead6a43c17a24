// The acquisition's time constants (the product's values) and the test-only
// scale that lets the test suite run them quickly.
//
// KORDEX_TEST_TIME_SCALE (test only): a factor applied to every constant
// below except the close wait, read when the time is used. Unset, empty,
// unparsable or not above 0 means 1. Never set it in production: the sensor
// needs the real settling times.
#pragma once

namespace kordex {

inline constexpr int kDarkFrameDelayMs = 2000;     // before the start request of a dark frame
inline constexpr int kResetVoltageStepMs = 100;    // between the reset-voltage requests
inline constexpr int kReadTimeoutMs = 15000;       // from the first data to the end of the frame
inline constexpr int kAbortQuietMs = 350;          // an abort waits this long after the last page
inline constexpr int kClosingRequestGapMs = 250;   // between the two closing 0xB0 requests
inline constexpr int kReadoutCloseWaitMs = 3000;   // the close waits this long for the read-out

// ms times the test scale, rounded down, at least 0.
int ScaledMs(int ms);

// Sleeps ScaledMs(ms).
void SleepScaledMs(int ms);

}  // namespace kordex
