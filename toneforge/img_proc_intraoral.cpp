// ImgProc_IntraOral: the exported class and the order of the enhancement.
//
// OnPostProcess builds its tables first (level weights, tile geometry), so
// that the pixel stages only read them, then runs the stages on a private
// double image in [0, 1]; the caller's input is never written. The cut
// corners are filled before the first min/max search (the caller's fill
// value there is far outside the image's range) and zeroed in the output at
// the very end. The table pointers of the object are set for the duration of
// the call only: a copy of the object never holds a dangling one. The pixel
// passes may run in row bands (SetThreadCount); the bands are built so that
// the output never depends on the thread count.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "conversions.h"
#include "row_bands.h"
#include "stages.h"
#include "toneforge.h"

ImgProc_IntraOral::ImgProc_IntraOral()
    : m_Param{}, m_nHeight(0), m_nWidth(0), m_pLevelWeight(nullptr), m_pTileGeometry(nullptr), m_nThreads(1)
{
}

ImgProc_IntraOral::~ImgProc_IntraOral() = default;

void ImgProc_IntraOral::SetSize(int width, int height)
{
    m_nWidth = std::max(width, 0);
    m_nHeight = std::max(height, 0);
}

void ImgProc_IntraOral::SetThreadCount(int threads)
{
    m_nThreads = std::clamp(threads, 1, toneforge::kMaxThreads);
}

void ImgProc_IntraOral::Set_ParamTitle(const char* file, const char* section)
{
    m_Param = _tagIMG_PARAM_IntraOral{};
    try {
        Read_ParamINI_Intra(file, section);
    } catch (...) {
        // Only an allocation failure can get here; the keys not read stay 0.
    }
}

int ImgProc_IntraOral::Read_ParamINI_Intra(const char* file, const char* section)
{
    toneforge::ReadParameters(file, section, m_Param);
    return 1;
}

void ImgProc_IntraOral::OnPostProcess(const unsigned short* input, unsigned short* output, int cutCorners)
{
    const int w = m_nWidth;
    const int h = m_nHeight;
    if (input == nullptr || output == nullptr || w <= 0 || h <= 0)
        return;
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    // Nothing may throw across the library boundary: without memory for the
    // work images the output is black, which no reader mistakes for a picture.
    try {
        Enhance(input, output, cutCorners);
    } catch (...) {
        std::fill(output, output + n, static_cast<unsigned short>(0));
    }
    m_pLevelWeight = nullptr;
    m_pTileGeometry = nullptr;
}

void ImgProc_IntraOral::Enhance(const unsigned short* input, unsigned short* output, int cutCorners)
{
    using namespace toneforge;
    const int w = m_nWidth;
    const int h = m_nHeight;
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);

    // 1. Tables.
    std::array<double, 512> levelWeights = LevelWeightTable(m_Param);
    TileGeometry tiles = BuildTileGeometry(w, h, m_Param.m_CLCX, m_Param.m_CLCY);
    m_pLevelWeight = levelWeights.data();
    m_pTileGeometry = &tiles;

    // 2.-3. Working copy, cut corners marked and filled.
    std::vector<std::uint16_t> work(input, input + n);
    std::vector<std::uint8_t> mask;
    if (cutCorners != 0) {
        mask.resize(n);
        MarkAndFillCutCorners(work.data(), mask.data(), w, h, TruncSize(m_Param.m_DummyY));
    }

    // 4. Doubles in [0, 1].
    const int t = m_nThreads;
    std::vector<double> image(work.begin(), work.end());
    work = {};
    ScalingHKL(image.data(), w, h, 1.0, t);

    // 5.-10. The enhancement.
    ParaExpoReco_20070201(image.data(), w, h, m_Param, t);
    FastGaussianBlurring(image.data(), w, h, TruncSize(m_Param.m_FGB_sig), t);
    Moroney(image.data(), w, h, m_Param, t);
    FAUMHKL_2(image.data(), w, h, TruncSize(m_Param.m_AUMKS), m_pLevelWeight, m_Param, t);
    ParaLocalContrastEnhance(image.data(), w, h, *m_pTileGeometry, m_Param.m_CLSL, t);
    AdjustBrightContrastGammaSigmoid(image.data(), w, h, m_Param, output, t);

    // 11. Cut corners are black.
    if (cutCorners != 0) {
        for (std::size_t i = 0; i < n; ++i) {
            if (mask[i] != 0)
                output[i] = 0;
        }
    }

    // 12. The work buffers go with this scope (the caller clears the
    // pointers to them).
}
