// Toneforge: the intraoral enhancement library (libtoneforge.so).
//
// One exported C++ class, ImgProc_IntraOral, turns a calibrated 16-bit
// intraoral image into a finished 12-bit image (0 ... 4095) in one call. Its
// 27 parameters are read from one section of an INI-style settings file
// (Kordex's processing-mode section "IP<n>" of kordex.ini).
//
// The call sequence is: construct, SetSize, Set_ParamTitle, OnPostProcess,
// destroy. One object serves one thread at a time; separate objects may run
// concurrently. Nothing throws out of the class.
//
// The original string class of the file and section arguments is replaced by
// plain `const char*` texts (UTF-8; a null pointer counts as an empty text).
//
// Parameter values that the enhancement cannot use are handled, never
// trusted (every stage is defined for every value, including the -1000 that a
// missing key reads as):
//  - sizes (m_AUMKS, m_CLCX, m_CLCY, m_FFSF_Msize, m_FFSF_skip, m_FGB_sig,
//    m_MFGBsig, m_DummyY) are truncated toward zero; a value that is not a
//    number counts as 0 and values beyond +-1e9 as +-1e9;
//  - a Gaussian blur whose size is below 2 (sigma 0), or whose sigma exceeds
//    the longer side of the image, leaves the image as it is;
//  - a sigma filter whose window size or sampling step is below 1, or whose
//    window exceeds 255 pixels, leaves the image as it is (the unsharp
//    mask's detail is then 0 everywhere, which its negative-detail
//    replacement turns into -0.0005);
//  - a negative unsharp-mask kernel size counts as 0 (no border band);
//  - the local contrast stage leaves the image as it is when m_CLCX or m_CLCY
//    is below 1, when a tile side comes out below 1 pixel, or when the grid
//    would hold more than 4096 tiles; a clip limit below 1 counts as 1 (the
//    tile's map becomes a straight line), and clip limits above twice the
//    tile area are limited there (this changes no result);
//  - a min/max mapping whose range is empty (max <= min, including a region
//    with no pixels) maps every value to 0; an auto-level whose upper and
//    lower indices coincide maps that level to the base value; an auto-level
//    lower fraction that no level reaches puts every level but 0 at the base
//    value, an upper fraction above 1 puts every level from 1 up at 1.0 (when
//    not below the lower index);
//  - the final stage's mean over the samples above its threshold is 0 when no
//    sample is above it; a sigmoid whose two ends coincide maps every level to
//    m_Test_S1; output values are limited to 0 ... 4095;
//  - wherever a value that is not a number (from powers of negative bases,
//    for instance) would index a table, it counts as 0.
#pragma once

#define TONEFORGE_API __attribute__((visibility("default")))

namespace toneforge {
struct TileGeometry;
}

// The 27 enhancement parameters, in the order they are read from the
// settings section (the key of each is its field name in quotes).
struct _tagIMG_PARAM_IntraOral {
    double m_ABCGS_cH;     // final sigmoid: steepness of the upper branch
    double m_ABCGS_cL;     // final sigmoid: steepness of the lower branch
    double m_ALCH;         // final auto-level: upper clip fraction
    double m_ALCL;         // final auto-level: lower clip fraction
    double m_ALS1;         // final stage: threshold for the mean that sets the gamma
    double m_AUMKS;        // adaptive unsharp mask: kernel size (border band is half of it)
    double m_AUMTH;        // level-weight table: threshold level (fraction of full scale)
    double m_AUMWH;        // level-weight table: weight at full scale
    double m_AUMWL;        // level-weight table: weight below the threshold
    double m_CLCX;         // local contrast: horizontal tile divisor
    double m_CLSL;         // local contrast: clip limit factor
    double m_CLCY;         // local contrast: vertical tile divisor
    double m_CSDSW;        // read, not used by any stage
    double m_ERCH;         // exposure recognition: upper clip fraction
    double m_ERCL;         // exposure recognition: lower clip fraction
    double m_ERGA;         // exposure recognition: gamma
    double m_FFSF_Msize;   // sigma filter: window size
    double m_FFSF_sigma;   // sigma filter: sigma
    double m_FFSF_skip;    // sigma filter: sampling step inside the window
    double m_FGB_sig;      // Gaussian blur of the working image: size
    double m_M_expoHi;     // Moroney stage: exponent base above the split
    double m_M_expoLo;     // Moroney stage: exponent base below the split
    double m_m_split;      // Moroney stage: split level of the mask
    double m_MFGBsig;      // Moroney stage: size of the Gaussian mask blur
    double m_Test_S1;      // final stage: lowest output level (fraction of full scale)
    double m_FinalGamma;   // final stage: gamma offset
    double m_DummyY;       // cut corners: row where column 0 starts to be cut
};
// A plain record: its (implicit) assignment copies all 27 values.
static_assert(sizeof(_tagIMG_PARAM_IntraOral) == 27 * sizeof(double), "27 doubles, no padding");

class TONEFORGE_API ImgProc_IntraOral {
public:
    // Parameters all 0, size 0 x 0 (OnPostProcess then does nothing), one
    // thread.
    ImgProc_IntraOral();
    // Releases nothing: the work tables live only inside OnPostProcess.
    virtual ~ImgProc_IntraOral();
    // Copies the parameters, the size and the table pointers (which are null
    // outside OnPostProcess); the copies are not deep.
    ImgProc_IntraOral(const ImgProc_IntraOral& other) = default;
    ImgProc_IntraOral& operator=(const ImgProc_IntraOral& other) = default;

    // Stores the image size in pixels (negative values count as 0).
    void SetSize(int width, int height);

    // How many threads OnPostProcess may split its pixel passes over (row
    // bands; clamped to 1 ... 31; default 1, the calling thread alone). The
    // output is bit-identical for every count.
    void SetThreadCount(int threads);

    // Sets all 27 parameters to 0, then reads them from section `section` of
    // the settings file `file` (both may be null = empty). A missing file,
    // section or key gives -1000 for that parameter; a value that is not a
    // number reads as 0 (standard text-to-double conversion). No error is
    // reported and the file is never written (nor thrown: without memory to
    // read, the keys not yet read stay 0).
    void Set_ParamTitle(const char* file, const char* section);

    // Enhances `input` (width x height 16-bit samples, row by row, read only)
    // into `output` (same size, owned by the caller, every sample written with
    // a value 0 ... 4095). The stages run in this order: cut corners, min/max
    // scaling, exposure recognition, Gaussian blur, Moroney tone correction,
    // adaptive unsharp mask, local contrast equalisation, final auto-level,
    // gamma and sigmoid.
    //
    // cutCorners non-zero: the two lower corners, cut along 45-degree lines
    // (column x from row x + trunc(m_DummyY) down on the left, from row
    // trunc(m_DummyY) + width - 1 - x down on the right), are filled from the
    // last uncut row of each column before the enhancement and set to 0 in
    // the output. A fill source that lies outside the image or inside a cut
    // area is replaced by the nearest uncut pixel of that row toward the
    // column itself; a column that is cut from row 0 is filled with 0.
    //
    // Null buffers or a size of 0 leave everything untouched. Runs on the
    // calling thread (and on SetThreadCount - 1 helper threads that end
    // before it returns); allocates its work images (about 40 bytes per pixel)
    // for the call and releases them before returning. When that memory is
    // not available the output is all 0 (nothing is thrown).
    void OnPostProcess(const unsigned short* input, unsigned short* output, int cutCorners);

    // The parameters as read and the size as set.
    const _tagIMG_PARAM_IntraOral& Param() const { return m_Param; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    int ThreadCount() const { return m_nThreads; }

private:
    // Reads the 27 keys in record order with the default "-1000". Returns 1.
    int Read_ParamINI_Intra(const char* file, const char* section);
    // The stages of OnPostProcess, for valid buffers and size.
    void Enhance(const unsigned short* input, unsigned short* output, int cutCorners);

    _tagIMG_PARAM_IntraOral m_Param;
    int m_nHeight;
    int m_nWidth;
    // Level-weight table (512 entries) and the local contrast tile geometry
    // with its blend weights: valid only during OnPostProcess, null otherwise.
    double* m_pLevelWeight;
    toneforge::TileGeometry* m_pTileGeometry;
    int m_nThreads;
};
