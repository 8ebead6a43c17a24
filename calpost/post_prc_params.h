// The parameters of PostPrc in one record, with the defaults of the Calpost
// processing modes, and the call that spreads the record over the export's
// long argument list. Header-only, so programs that load libcalpost.so
// (tools, tests, benchmarks) use the same defaults and order as the library.
//
// The mode keys of the detector library that fill each field are noted.
#pragma once

#include <cstdint>

#include "calpost.h"

namespace calpost {

struct PostPrcParams {
    double medianWindow = 5.0;          // "BPKS": n of the noise-relative replacement
    double detailFactor = 7.0;          // "BPAL": k of the detail mask
    double replacePercent = 15.0;       // "BPFR": q, per cent of pixels replaced
    double windowLow = 0.002;           // "ERCL": grey window low level
    double windowHigh = 0.005;          // "ERCH": grey window high level
    double toneBreakX = 0.2;            // "TBTH": tone-curve break x (0 = no curve)
    double toneBreakY = 0.05;           // "TBS1": tone-curve break y
    double pyramidLevels = 4.0;         // "MRL": P
    double coefficientRange = 1.0;      // "MRM": c
    double coefficientExponent = 0.5;   // "MRP": e
    double coefficientKnee = 0.25;      // "MRXC": t
    double gains[4] = {2.0, 3.0, 1.0, 1.0};  // "MRA0".."MRA3": levels 0, 1, 2, 3+
    double unused22to31[10] = {5.0, 0.0005, 0.0, 2.0, 100.0, 2.5, 240.0, 2.5, 3.0, 0.2};
    std::int32_t localEqualisation = 1;  // "LCON"
    double greyLevels = 1024.0;          // "LCIL": G
    double clipFactor = 1.3;             // "LCSL"
    double tilesAcross = 3.0;            // "LCCRX": Mx
    double tilesDown = 3.0;              // "LCCRY": My
    double unused37to43[7] = {0.01, 0.01, 0.06, 21.0, 0.0005, 0.0, 0.0};
};

using PostPrcFunction = decltype(&PostPrc);

// Calls fn (PostPrc, or the same procedure looked up at run time) with the
// record's fields in the export's order. reserved4 is the value the detector
// library passes there (max("BP_Type", 2)); PostPrc ignores it.
inline std::uint16_t* CallPostPrc(PostPrcFunction fn, const std::uint16_t* image, std::int32_t width,
                                  std::int32_t height, const PostPrcParams& p,
                                  std::int32_t reserved4 = 2)
{
    const double* u = p.unused22to31;
    const double* v = p.unused37to43;
    return fn(image, width, height, reserved4, nullptr, nullptr, p.medianWindow, p.detailFactor,
              p.replacePercent, p.windowLow, p.windowHigh, p.toneBreakX, p.toneBreakY, p.pyramidLevels,
              p.coefficientRange, p.coefficientExponent, p.coefficientKnee, p.gains[0], p.gains[1],
              p.gains[2], p.gains[3], u[0], u[1], u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9],
              p.localEqualisation, p.greyLevels, p.clipFactor, p.tilesAcross, p.tilesDown, v[0], v[1],
              v[2], v[3], v[4], v[5], v[6]);
}

}  // namespace calpost
