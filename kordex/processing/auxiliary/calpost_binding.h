// The Calpost processing modes (400..499): Calpost's enhancement procedure
// PostPrc, loaded at run time from libcalpost.so for each job.
#pragma once

#include <string>

#include "frame/stage_result.h"
#include "platform/profile_file.h"
#include "processing/stage_context.h"

namespace kordex::auxiliary {

// The library's file name, and the procedure looked up in it.
inline constexpr const char* kCalpostFile = "libcalpost.so";
inline constexpr const char* kCalpostProcedure = "PostPrc";

// The parameters Kordex passes to PostPrc (keys in upper case, as in the
// settings section), with their defaults. Ints where marked, doubles else.
struct CalpostParams {
    int bpType = 2;  // "BP_Type" (int)
    double bpks = 5.0, bpal = 7.0, bpfr = 15.0;
    double ercl = 0.002, erch = 0.005;
    double tbth = 0.2, tbs1 = 0.05;
    double mrl = 4.0, mrm = 1.0, mrp = 0.5, mrxc = 0.25;
    double mra0 = 2.0, mra1 = 3.0, mra2 = 1.0, mra3 = 1.0;
    double aumks = 5.0, aumal = 0.0005;
    double aumr1 = 0.0, aumg1 = 2.0, aumr2 = 100.0, aumg2 = 2.5, aumr3 = 240.0, aumg3 = 2.5;
    double nrks = 3.0, nral = 0.2;
    int lcon = 1;  // "LCON" (int)
    double lcil = 1024.0, lcsl = 1.3, lccrx = 3.0, lccry = 3.0;
    double alcl = 0.01, alch = 0.01, als1 = 0.06, alsks = 21.0, alsal = 0.0005, alga = 0.0, alal = 0.0;
};

// Reads the keys from the current section of profile; missing keys keep
// their defaults and nothing is written.
void ReadCalpostParams(platform::ProfileFile& profile, CalpostParams& params);

// Where the library is looked for, in this order: libraryDir + fileName,
// homeDir + fileName (both directories end in "/"), then the bare file name
// for the system's library search. Returns the first of the two files that
// exists, else the bare name.
std::string LocateCalpost(const std::string& libraryDir, const std::string& homeDir,
                          const std::string& fileName = kCalpostFile);

// Isolated-pixel removal before the call: a pixel that fewer than two of its
// eight neighbours (positions outside the image clamped to the edge) lie
// within 100 of becomes the mean of the eight (truncated). All pixels read
// the image as it was.
void RemoveIsolatedPixels(const StageContext& ctx);

// The whole Calpost processor on ctx.image: locate and load the library
// (message 332 with the path tried when it cannot be loaded), look up
// PostPrc (message 333 with "PostPrc", then unload), isolated-pixel removal,
// border brush-up with radius 4, dump "1normal.raw", the call, and the
// result copied back turned by 180 degrees (PostPrc's value k goes to pixel
// width x height - 1 - k), freed with the library's CalpostFree. A null
// result gives message 331. The library is unloaded at the end. Returns kStageDone,
// or -1 with the error text in *error. messages may be null (built-in
// texts).
StageResult RunCalpost(const StageContext& ctx, const CalpostParams& params, const std::string& libraryPath,
               std::string* error);

}  // namespace kordex::auxiliary
