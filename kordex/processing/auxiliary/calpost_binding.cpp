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
#include "processing/auxiliary/aux_messages.h"
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

void ReadDouble(platform::ProfileFile& p, const char* key, double& value)
{
    value = p.ReadReal(key, value);
}

}  // namespace

void ReadCalpostParams(platform::ProfileFile& p, CalpostParams& c)
{
    c.bpType = p.ReadInt("BP_Type", c.bpType);
    ReadDouble(p, "BPKS", c.bpks);
    ReadDouble(p, "BPFR", c.bpfr);
    ReadDouble(p, "BPAL", c.bpal);
    ReadDouble(p, "ERCL", c.ercl);
    ReadDouble(p, "ERCH", c.erch);
    ReadDouble(p, "TBTH", c.tbth);
    ReadDouble(p, "TBS1", c.tbs1);
    ReadDouble(p, "MRL", c.mrl);
    ReadDouble(p, "MRM", c.mrm);
    ReadDouble(p, "MRP", c.mrp);
    ReadDouble(p, "MRXC", c.mrxc);
    ReadDouble(p, "MRA0", c.mra0);
    ReadDouble(p, "MRA1", c.mra1);
    ReadDouble(p, "MRA2", c.mra2);
    ReadDouble(p, "MRA3", c.mra3);
    ReadDouble(p, "AUMKS", c.aumks);
    ReadDouble(p, "AUMAL", c.aumal);
    ReadDouble(p, "AUMR1", c.aumr1);
    ReadDouble(p, "AUMG1", c.aumg1);
    ReadDouble(p, "AUMR2", c.aumr2);
    ReadDouble(p, "AUMG2", c.aumg2);
    ReadDouble(p, "AUMR3", c.aumr3);
    ReadDouble(p, "AUMG3", c.aumg3);
    ReadDouble(p, "NRKS", c.nrks);
    ReadDouble(p, "NRAL", c.nral);
    c.lcon = p.ReadInt("LCON", c.lcon);
    ReadDouble(p, "LCIL", c.lcil);
    ReadDouble(p, "LCSL", c.lcsl);
    ReadDouble(p, "LCCRX", c.lccrx);
    ReadDouble(p, "LCCRY", c.lccry);
    ReadDouble(p, "ALS1", c.als1);
    ReadDouble(p, "ALCL", c.alcl);
    ReadDouble(p, "ALCH", c.alch);
    ReadDouble(p, "ALSKS", c.alsks);
    ReadDouble(p, "ALSAL", c.alsal);
    ReadDouble(p, "ALGA", c.alga);
    ReadDouble(p, "ALAL", c.alal);
}

std::string LocateCalpost(const std::string& libraryDir, const std::string& homeDir, const std::string& fileName)
{
    for (const std::string& dir : {libraryDir, homeDir}) {
        const std::string path = dir + fileName;
        if (!dir.empty() && platform::FileExists(path)) return path;
    }
    return fileName;
}

int RunCalpost(const StageContext& ctx, const CalpostParams& c, const std::string& libraryPath, std::string* error)
{
    platform::DynamicLibrary library;
    if (!library.Open(libraryPath)) {
        *error = AuxMessage(ctx.messages, kMsgAuxCantLoad, libraryPath);
        return -1;
    }
    const auto postPrc = SymbolAs<PostPrcFunction>(library, kCalpostProcedure);
    if (!postPrc) {
        *error = AuxMessage(ctx.messages, kMsgAuxNoProcedure, kCalpostProcedure);
        return -1;  // the library unloads with `library`
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
        *error = AuxMessage(ctx.messages, kMsgAuxFault);
        return -1;
    }
    const std::size_t n = ctx.Pixels();
    for (std::size_t k = 0; k < n; ++k) ctx.image[n - 1 - k] = static_cast<std::int16_t>(result[k]);
    if (calpostFree)
        calpostFree(result);
    else
        std::free(result);
    return 1;
}

}  // namespace kordex::auxiliary
