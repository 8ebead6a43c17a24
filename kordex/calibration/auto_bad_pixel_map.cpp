// Generation of the automatic bad-pixel map.
//
// Segment test (dark frames): columns are grouped into segments of sw
// columns, the last one narrower when W is not a multiple of sw. For each row
// y the reference S of a segment is the trimmed mode of its columns in the
// seven rows y-3 .. y+3 (rows clamped into the frame, so edge rows repeat),
// computed when x enters the segment. A pixel outside S - lo .. S + hi is
// marked 128 when it is also outside S - 2lo .. S + 2hi; otherwise the
// trimmed mode C of the 45 pixels of its column in rows y-22 .. y+22
// (clamped) decides with C - lo .. C + hi. C is only computed for those
// doubtful pixels.
//
// Every test runs on ParallelRows; the bands write their own rows of the map
// and count their own marks, and their window buffers are allocated before
// the pass.
#include "calibration/auto_bad_pixel_map.h"

#include <algorithm>
#include <array>

#include "calibration/local_mean.h"
#include "calibration/trimmed_mode.h"
#include "frame/frame_files.h"
#include "frame/parallel_rows.h"
#include "platform/paths.h"
#include "platform/raw_file.h"
#include "platform/text.h"

namespace kordex {
namespace {

constexpr int kSegmentHalfRows = 3;
constexpr int kColumnHalfRows = 22;

using BandCounts = std::array<int, kMaxParallelThreads + 1>;

int Sum(const BandCounts& counts)
{
    int total = 0;
    for (int c : counts) total += c;
    return total;
}

// Reads a frame-sized file; false without a message when it cannot be read.
bool ReadQuietly(const std::string& path, std::int16_t* frame, std::size_t pixels)
{
    const std::size_t bytes = pixels * sizeof(std::int16_t);
    return platform::ReadRawFile(path, frame, static_cast<std::int64_t>(bytes), bytes, nullptr);
}

int InnerLevel(const CalibrationSetContext& ctx, const std::int16_t* frame)
{
    TrimmedModeScratch scratch;
    return TrimmedModeOfRegion(frame, ctx.width, ctx.left, ctx.top, ctx.width - ctx.right - 1,
                               ctx.height - ctx.bottom - 1, scratch);
}

double PercentOf(int marks, const CalibrationSetContext& ctx)
{
    return static_cast<double>(marks) * 100.0 / static_cast<double>(ctx.Pixels());
}

struct FrameSetResult {
    int frames = 0;
    int marks = 0;
};

// One group of frames (dark or bright): every readable file of the mask,
// tested by test(name, frame) which returns the new marks and logs its line.
template <typename Test>
FrameSetResult ExamineFrames(const CalibrationSetContext& ctx, const std::string& mask, std::vector<std::int16_t>& frame,
                             Test test)
{
    FrameSetResult result;
    const std::string dir = platform::WithTrailingSlash(platform::DirectoryOf(mask));
    for (const std::string& name : platform::FindFiles(dir, platform::FileNameOf(mask))) {
        if (!ReadQuietly(dir + name, frame.data(), ctx.Pixels())) continue;
        result.marks += test(name, frame.data());
        ++result.frames;
    }
    return result;
}

}  // namespace

std::string AutoMapMaskPath(std::string_view mask, const std::string& calibrationDir)
{
    std::string path(mask);
    if (path.find('.') == std::string::npos) path += ".raw";
    if (!path.empty() && (path[0] == '/' || path[0] == '~')) return platform::ExpandHome(path);
    return platform::WithTrailingSlash(calibrationDir) + path;
}

int GlobalBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map, int lo, int hi)
{
    BandCounts counts{};
    const int w = ctx.width;
    ParallelRows(ctx.settings->numParallelThreads, 0, ctx.height - 1, [&](const RowBand& band) {
        int marks = 0;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::int16_t* row = frame + static_cast<std::ptrdiff_t>(y) * w;
            std::int16_t* codes = map + static_cast<std::ptrdiff_t>(y) * w;
            for (int x = 0; x < w; ++x) {
                const bool bad = codes[x] == 0 && (row[x] < lo || row[x] > hi);
                marks += bad;
                codes[x] = bad ? kCodeGlobal : codes[x];
            }
        }
        counts[static_cast<std::size_t>(band.index)] = marks;
    });
    return Sum(counts);
}

int SegmentBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map, int sw,
                        int devLo, int devHi)
{
    const int w = ctx.width, h = ctx.height;
    sw = std::clamp(sw, 1, w);
    const int threads = ParallelThreadCount(ctx.settings->numParallelThreads);
    // Per band: the segment window, the column window and the histogram.
    std::vector<std::vector<std::int16_t>> windows(static_cast<std::size_t>(threads),
                                                   std::vector<std::int16_t>(static_cast<std::size_t>(sw) * 7));
    std::vector<std::vector<std::int16_t>> columns(static_cast<std::size_t>(threads),
                                                   std::vector<std::int16_t>(2 * kColumnHalfRows + 1));
    std::vector<TrimmedModeScratch> scratch(static_cast<std::size_t>(threads));
    BandCounts counts{};
    ParallelRows(threads, 0, h - 1, [&](const RowBand& band) {
        const std::size_t b = static_cast<std::size_t>(band.index);
        std::int16_t* window = windows[b].data();
        std::int16_t* column = columns[b].data();
        TrimmedModeScratch& histogram = scratch[b];
        int marks = 0;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::int16_t* row = frame + static_cast<std::ptrdiff_t>(y) * w;
            std::int16_t* codes = map + static_cast<std::ptrdiff_t>(y) * w;
            for (int x0 = 0; x0 < w; x0 += sw) {
                const int x1 = std::min(x0 + sw, w);
                std::size_t n = 0;
                for (int dy = -kSegmentHalfRows; dy <= kSegmentHalfRows; ++dy) {
                    const std::int16_t* r = frame + static_cast<std::ptrdiff_t>(std::clamp(y + dy, 0, h - 1)) * w;
                    for (int x = x0; x < x1; ++x) window[n++] = r[x];
                }
                const int s = TrimmedMode(window, n, histogram);
                for (int x = x0; x < x1; ++x) {
                    const int v = row[x];
                    if (codes[x] != 0 || (v >= s - devLo && v <= s + devHi)) continue;
                    bool bad = v < s - 2 * devLo || v > s + 2 * devHi;
                    if (!bad) {
                        for (int dy = -kColumnHalfRows; dy <= kColumnHalfRows; ++dy)
                            column[dy + kColumnHalfRows] =
                                frame[static_cast<std::ptrdiff_t>(std::clamp(y + dy, 0, h - 1)) * w + x];
                        const int c = TrimmedMode(column, 2 * kColumnHalfRows + 1, histogram);
                        bad = v < c - devLo || v > c + devHi;
                    }
                    if (bad) {
                        codes[x] = kCodeSegment;
                        ++marks;
                    }
                }
            }
        }
        counts[b] = marks;
    });
    return Sum(counts);
}

int LocalBadPixelTest(const CalibrationSetContext& ctx, const std::int16_t* frame, std::int16_t* map,
                      const std::int16_t* outlineMask, int radius, int lo, int hi)
{
    const int w = ctx.width;
    const std::vector<std::int16_t> mean =
        LocalMean(frame, w, ctx.height, InnerRegion{ctx.left, ctx.top, ctx.right, ctx.bottom}, outlineMask, radius,
                  ctx.settings->numParallelThreads);
    BandCounts counts{};
    ParallelRows(ctx.settings->numParallelThreads, 0, ctx.height - 1, [&](const RowBand& band) {
        int marks = 0;
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y) * w;
            const std::int16_t* row = frame + at;
            const std::int16_t* local = mean.data() + at;
            std::int16_t* codes = map + at;
            for (int x = 0; x < w; ++x) {
                const int d = row[x] - local[x];
                const bool bad = codes[x] == 0 && (d < -lo || d > hi);
                marks += bad;
                codes[x] = bad ? kCodeLocal : codes[x];
            }
        }
        counts[static_cast<std::size_t>(band.index)] = marks;
    });
    return Sum(counts);
}

int GenerateAutoBadPixelMap(const CalibrationSetContext& ctx, const BadPixMapSettings& params, const char* darkMask,
                            const char* brightMask, const std::string& outputPath)
{
    ScopedLog logScope(*ctx.log, ctx.homePath, kAutoMapLogTag);
    Log& log = *ctx.log;
    log.Plain("-- Auto Bad Pix Map --");

    const std::vector<std::int16_t> outline = OutlineMaskOf(ctx);
    std::vector<std::int16_t> map = outline.empty() ? std::vector<std::int16_t>(ctx.Pixels(), 0) : outline;
    std::vector<std::int16_t> frame(ctx.Pixels());
    const bool darkGiven = darkMask && *darkMask;
    const bool brightGiven = brightMask && *brightMask;
    FrameSetResult dark, bright;

    if (darkGiven) {
        dark = ExamineFrames(ctx, darkMask, frame, [&](const std::string& name, const std::int16_t* pixels) {
            const int m = InnerLevel(ctx, pixels);
            if (params.numSegs >= 1) {
                const int sw = std::max(ctx.width / params.numSegs, 1);
                if (ctx.width % sw != 0)
                    log.Plain(platform::Format("WRN: seg's width (%d) does not match frame's (%d)", sw, ctx.width));
                const int marks = SegmentBadPixelTest(ctx, pixels, map.data(), sw, params.darkDevLo, params.darkDevHi);
                log.Plain(platform::Format("%d pix in %s out of seg-%d..seg+%d, seg.wd=%d", marks, name.c_str(),
                                           params.darkDevLo, params.darkDevHi, sw));
                return marks;
            }
            const int lo = m - params.darkDevLo, hi = m + params.darkDevHi;
            const int marks = GlobalBadPixelTest(ctx, pixels, map.data(), lo, hi);
            log.Plain(platform::Format("%d pix in %s (m%d) out of %d..%d", marks, name.c_str(), m, lo, hi));
            return marks;
        });
        if (dark.frames == 0)
            log.Plain(platform::Format("BPM: no dark frames %s", darkMask));
        else
            log.Plain(platform::Format("BPM sum: %d (%.2f%%) bad pix in %d dark frames", dark.marks,
                                       PercentOf(dark.marks, ctx), dark.frames));
    }
    if (brightGiven) {
        const float devLo = static_cast<float>(params.brightRDevLo);
        const float devHi = static_cast<float>(params.brightRDevHi);
        bright = ExamineFrames(ctx, brightMask, frame, [&](const std::string& name, const std::int16_t* pixels) {
            const int m = InnerLevel(ctx, pixels);
            const float level = static_cast<float>(m);
            if (params.radius >= 1) {
                const int lo = static_cast<int>(level * devLo), hi = static_cast<int>(level * devHi);
                const int marks = LocalBadPixelTest(ctx, pixels, map.data(), outline.empty() ? nullptr : outline.data(),
                                                    params.radius, lo, hi);
                log.Plain(platform::Format("%d pix in %s out of loc-%d..loc+%d", marks, name.c_str(), lo, hi));
                return marks;
            }
            const int lo = static_cast<int>(level * (1.0f - devLo));
            const int hi = static_cast<int>(level * (devHi + 1.0f));
            const int marks = GlobalBadPixelTest(ctx, pixels, map.data(), lo, hi);
            log.Plain(platform::Format("%d pix in %s (m%d) out of %d..%d", marks, name.c_str(), m, lo, hi));
            return marks;
        });
        if (bright.frames == 0)
            log.Plain(platform::Format("BPM: no bright frames %s", brightMask));
        else
            log.Plain(platform::Format("BPM sum: %d (%.2f%%) bad pix in %d bright frames", bright.marks,
                                       PercentOf(bright.marks, ctx), bright.frames));
    }

    const int frames = dark.frames + bright.frames;
    const int total = dark.marks + bright.marks;
    if (darkGiven && brightGiven) {
        if (frames == 0)
            log.Plain("WRN: no files for Bad Pix detection");
        else
            log.Plain(platform::Format("Total %d (%.2f%%) bad pix in %d frames", total, PercentOf(total, ctx), frames));
    }
    if (total <= 0) {
        platform::RemoveFile(platform::ResolveNoCase(outputPath));
        log.Plain(platform::Format("Delete file %s", outputPath.c_str()));
        return frames > 0 ? 1 : 0;
    }
    if (!WriteRawFrame(log, outputPath, map.data(), map.size() * sizeof(std::int16_t), false)) return 0;
    log.Plain(platform::Format("File %s is saved", outputPath.c_str()));
    return 1;
}

}  // namespace kordex
