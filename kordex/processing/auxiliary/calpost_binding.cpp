// Calpost binding: the search, the load, the call and the way back.
//
// The library is loaded for each job and unloaded after it, so a new
// libcalpost.so dropped beside Kordex is used by the next job. PostPrc reads
// the image as unsigned 16-bit; the signed samples are passed as they are.
// It returns the image turned by 180 degrees (it flips it vertically on the
// way in and horizontally on the way out), so its value k goes to pixel
// width x height - 1 - k. The block belongs to Kordex then and is released
// with the library's own CalpostFree (std::free when the library has none:
// its blocks are std::malloc memory).
#include "processing/auxiliary/calpost_binding.h"

#include <cstdlib>
#include <cstring>

#include "calpost.h"
#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "frame/message_table.h"
#include "processing/final_contrast.h"

namespace kordex::auxiliary {
namespace {

using PostPrcFunction = decltype(&PostPrc);
using CalpostFreeFunction = decltype(&CalpostFree);

template <typename F>
F SymbolAs(const platform::DynamicLibrary& library, const char* name)
{
    void* symbol = library.Symbol(name);
    F f = nullptr;
    static_assert(sizeof f == sizeof symbol);
    std::memcpy(&f, &symbol, sizeof f);
    return f;
}

// The real-valued keys and their fields, in the order of PostPrc's
// parameters 7..31 and 33..43.
struct RealKey {
    const char* key;
    double CalpostParams::*field;
};
constexpr RealKey kRealKeys[] = {
    {"BPKS", &CalpostParams::bpks},   {"BPAL", &CalpostParams::bpal},   {"BPFR", &CalpostParams::bpfr},
    {"ERCL", &CalpostParams::ercl},   {"ERCH", &CalpostParams::erch},   {"TBTH", &CalpostParams::tbth},
    {"TBS1", &CalpostParams::tbs1},   {"MRL", &CalpostParams::mrl},     {"MRM", &CalpostParams::mrm},
    {"MRP", &CalpostParams::mrp},     {"MRXC", &CalpostParams::mrxc},   {"MRA0", &CalpostParams::mra0},
    {"MRA1", &CalpostParams::mra1},   {"MRA2", &CalpostParams::mra2},   {"MRA3", &CalpostParams::mra3},
    {"AUMKS", &CalpostParams::aumks}, {"AUMAL", &CalpostParams::aumal}, {"AUMR1", &CalpostParams::aumr1},
    {"AUMG1", &CalpostParams::aumg1}, {"AUMR2", &CalpostParams::aumr2}, {"AUMG2", &CalpostParams::aumg2},
    {"AUMR3", &CalpostParams::aumr3}, {"AUMG3", &CalpostParams::aumg3}, {"NRKS", &CalpostParams::nrks},
    {"NRAL", &CalpostParams::nral},   {"LCIL", &CalpostParams::lcil},   {"LCSL", &CalpostParams::lcsl},
    {"LCCRX", &CalpostParams::lccrx}, {"LCCRY", &CalpostParams::lccry}, {"ALCL", &CalpostParams::alcl},
    {"ALCH", &CalpostParams::alch},   {"ALS1", &CalpostParams::als1},   {"ALSKS", &CalpostParams::alsks},
    {"ALSAL", &CalpostParams::alsal}, {"ALGA", &CalpostParams::alga},   {"ALAL", &CalpostParams::alal},
};

}  // namespace

void ReadCalpostParams(platform::ProfileFile& p, CalpostParams& c)
{
    c.bpType = p.ReadInt("BP_Type", c.bpType);
    c.lcon = p.ReadInt("LCON", c.lcon);
    for (const RealKey& k : kRealKeys) c.*k.field = p.ReadReal(k.key, c.*k.field);
}

std::string LocateCalpost(const std::string& libraryDir, const std::string& homeDir, const std::string& fileName)
{
    for (const std::string& dir : {libraryDir, homeDir}) {
        const std::string path = dir + fileName;
        if (!dir.empty() && platform::FileExists(path)) return path;
    }
    return fileName;
}

StageResult RunCalpost(const StageContext& ctx, const CalpostParams& c, const std::string& libraryPath, std::string* error)
{
    platform::DynamicLibrary library;
    if (!library.Open(libraryPath)) {
        *error = FormatMessage(ctx.messages, kMsgAuxCantLoad, libraryPath.c_str());
        return kStageFailed;
    }
    const auto postPrc = SymbolAs<PostPrcFunction>(library, kCalpostProcedure);
    if (!postPrc) {
        *error = FormatMessage(ctx.messages, kMsgAuxNoProcedure, kCalpostProcedure);
        return kStageFailed;  // the library unloads with `library`
    }
    const auto calpostFree = SymbolAs<CalpostFreeFunction>(library, "CalpostFree");

    RemoveIsolatedPixels(ctx);
    BorderBrushUp(ctx, 4);
    ctx.Dump("1normal.raw", ctx.image);

    const int w = ctx.width, h = ctx.height;
    std::uint16_t* result = postPrc(reinterpret_cast<const std::uint16_t*>(ctx.image), w, h,
                                    c.bpType > 2 ? c.bpType : 2, nullptr, nullptr,
                                    c.bpks, c.bpal, c.bpfr, c.ercl, c.erch, c.tbth, c.tbs1,
                                    c.mrl, c.mrm, c.mrp, c.mrxc, c.mra0, c.mra1, c.mra2, c.mra3,
                                    c.aumks, c.aumal, c.aumr1, c.aumg1, c.aumr2, c.aumg2, c.aumr3, c.aumg3,
                                    c.nrks, c.nral, c.lcon,
                                    c.lcil, c.lcsl, c.lccrx, c.lccry,
                                    c.alcl, c.alch, c.als1, c.alsks, c.alsal, c.alga, c.alal);
    if (!result) {
        *error = MessageText(ctx.messages, kMsgAuxFault);
        return kStageFailed;
    }
    const std::size_t n = ctx.Pixels();
    for (std::size_t k = 0; k < n; ++k) ctx.image[n - 1 - k] = static_cast<std::int16_t>(result[k]);
    if (calpostFree)
        calpostFree(result);
    else
        std::free(result);
    return kStageDone;
}

}  // namespace kordex::auxiliary
