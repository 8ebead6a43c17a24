// Arbitrary text as a processing mode's section: ReadModeParams must give a
// defined record, and the standard stages must run on it over a small image
// without a crash, a hang or an out-of-bounds access; likewise the keys of
// the internal auxiliary chain and the chain itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/profile_file.h"
#include "processing/auxiliary/internal_chain.h"
#include "processing/final_contrast.h"
#include "processing/grey_remap.h"
#include "processing/unsharp_mask.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        std::string name = (std::filesystem::temp_directory_path() / "mode_params_fuzz_XXXXXX").string();
        const int fd = mkstemp(name.data());
        if (fd >= 0) close(fd);
        return name;
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fputs("[IP1]\n", f);
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    platform::ProfileFile profile(path);
    kordex::IpParams params;
    kordex::ReadModeParams(profile, 1, params);
    const int w = 24, h = 20;
    std::vector<std::int16_t> image(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::int16_t>((i * 131) % 4096);
    std::int32_t abortState = 0;
    kordex::LibrarySettings settings;
    settings.numParallelThreads = 1;
    kordex::StageContext ctx;
    ctx.image = image.data();
    ctx.width = w;
    ctx.height = h;
    ctx.abortState = &abortState;
    ctx.params = &params;
    ctx.settings = &settings;
    if (kordex::GreyRemap(ctx) >= 0 && abortState == 0 && kordex::UnsharpMask(ctx, 1, {}) >= 0 && abortState == 0)
        kordex::FinalContrast(ctx);

    profile.SetSection("IP1");
    kordex::auxiliary::AuxChainParams aux;
    kordex::auxiliary::ReadAuxChainParams(profile, aux);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::int16_t>((i * 131) % 4096);
    abortState = 0;
    kordex::auxiliary::RunInternalChain(ctx, aux, {});
    return 0;
}
