// The record of the Calpost stand-in's last PostPrc call.
#pragma once

#include <cstdint>

struct CalpostStubCall {
    int calls = 0, freed = 0;
    int32_t width = 0, height = 0, reserved4 = 0;
    bool reservedNull = false;
    uint16_t firstPixel = 0;
    double params[25] = {};  // parameters 7..31
    int32_t lcon = 0;        // parameter 32
    double tail[11] = {};    // parameters 33..43
};
