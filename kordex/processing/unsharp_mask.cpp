// The unsharp-mask stage: the blur cache, the unsharp steps and the step
// loop with its logs, dumps and progress.
//
// Blur cache: one entry per key (r1, r2). (0, 0) is the plain copy, (r, 0)
// the plain copy box-smoothed with radius r, (c1, c2) with c2 > 0 a contour
// image. Every key records the last step that needs it and is freed after
// that step. The plain copy is taken at the first unsharp step, and once
// more -- with every smoothed copy recomputed from it -- at the first later
// unsharp step whose weight is not negative (the smoothing steps between
// have changed the image). With difference control the key (R0, 0) is the
// density image, smoothed once at the start of the stage and never
// refreshed, so a step whose radius equals IPProtDifCtlRad reads it; contour
// images are never refreshed either.
#include "processing/unsharp_mask.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "frame/job_word.h"
#include "platform/exact_math.h"
#include "platform/text.h"
#include "processing/box_smooth.h"
#include "processing/difference_control.h"
#include "processing/smoothing_steps.h"

namespace kordex {
namespace {

using Key = std::pair<int, int>;

// W' = W * 1024 / 100, limited to +-2^24 (a weight of about 1.6 million per
// cent) so every product of the steps stays inside 64 bits.
std::int64_t WeightFixedPoint(int w)
{
    constexpr std::int64_t kLimit = std::int64_t{1} << 24;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(w) * 1024 / 100, -kLimit, kLimit);
}

struct CacheEntry {
    std::vector<std::int16_t> image;
    int lastUse = -1;       // index of the last step that needs it
    bool fixed = false;     // the density image: never refreshed, never freed
};

class BlurCache {
public:
    BlurCache(const StageContext& ctx) : ctx_(ctx), scratch_(ctx.Pixels()) {}

    void Register(Key key, int step)
    {
        CacheEntry& e = entries_[key];
        e.lastUse = std::max(e.lastUse, step);
    }

    // The density image under (r0, 0), smoothed from the current image.
    bool MakeDensity(int r0)
    {
        CacheEntry& e = entries_[{r0, 0}];
        e.fixed = true;
        e.image.assign(ctx_.image, ctx_.image + ctx_.Pixels());
        return Smooth(e.image.data(), r0);
    }
    const std::int16_t* Density(int r0) { return entries_[{r0, 0}].image.data(); }

    // Takes the plain copy from the current image; with refresh, recomputes
    // every smoothed copy held (not the density image, not the contours).
    bool TakePlain(bool refresh)
    {
        plain_.assign(ctx_.image, ctx_.image + ctx_.Pixels());
        if (!refresh) return true;
        for (auto& [key, e] : entries_) {
            if (e.fixed || key.second != 0 || key.first == 0 || e.image.empty()) continue;
            e.image = plain_;
            if (!Smooth(e.image.data(), key.first)) return false;
        }
        return true;
    }

    // blur(r): the plain copy for r = 0, else the smoothed copy, computed on
    // first request. Null after an abort.
    const std::int16_t* Blur(int r)
    {
        if (r <= 0) return plain_.data();
        CacheEntry& e = entries_[{r, 0}];
        if (e.image.empty()) {
            e.image = plain_;
            if (!Smooth(e.image.data(), r)) return nullptr;
        }
        return e.image.data();
    }

    // The contour image (c1, c2), computed on first request.
    const std::int16_t* Contour(int c1, int c2)
    {
        CacheEntry& e = entries_[{c1, c2}];
        if (!e.image.empty()) return e.image.data();
        const std::int16_t* b1 = Blur(c1);
        if (!b1) return nullptr;
        const std::int16_t* first = b1;
        const std::int16_t* b2 = Blur(c2);
        if (!b2) return nullptr;
        const std::int64_t wc = NearClamped(ctx_.settings ? ctx_.settings->ipProtContWeight * 1024 : 1024);
        e.image.resize(ctx_.Pixels());
        for (std::size_t i = 0; i < e.image.size(); ++i)
            e.image[i] = platform::Wrap16((wc * std::abs(first[i] - b2[i]) + 511) >> 10);
        const double smooth = ctx_.settings ? ctx_.settings->ipProtContSmooth : 2.0;
        if (smooth > 1 && !Smooth(e.image.data(), std::max(0, NearClamped(smooth * c2)))) return nullptr;
        ctx_.Dump(platform::Format("3cont_%3.3dx%3.3d", c1, c2), e.image.data());
        return e.image.data();
    }

    // Frees the entries whose last use was this step.
    void Release(int step)
    {
        for (auto& [key, e] : entries_)
            if (!e.fixed && e.lastUse == step) std::vector<std::int16_t>().swap(e.image);
    }

private:
    bool Smooth(std::int16_t* image, int r)
    {
        return BoxSmooth(ctx_.width, ctx_.height, r, image, ctx_.abortState, ctx_.threads, scratch_.data()) != 0;
    }

    const StageContext& ctx_;
    std::vector<std::int16_t> scratch_;
    std::vector<std::int16_t> plain_;
    std::map<Key, CacheEntry> entries_;
};

// One unsharp step. Returns 1, or -1 after an abort while smoothing.
int UnsharpStep(const StageContext& ctx, BlurCache& cache, const UsmStep& s, bool difCtrl, int r0)
{
    const IpParams& p = *ctx.params;
    const std::size_t n = ctx.Pixels();
    const std::int16_t* b1 = cache.Blur(s.r1);
    if (!b1) return -1;
    const std::int16_t* first = b1;  // cache entries never move while held
    const std::int16_t* b2 = cache.Blur(s.r2);
    if (!b2) return -1;
    const std::int16_t* contour = nullptr;
    if (s.cr2 > 0 && !(contour = cache.Contour(s.cr1, s.cr2))) return -1;
    const std::int16_t* density = difCtrl ? cache.Density(r0) : nullptr;
    const std::int64_t wPrime = WeightFixedPoint(s.w);
    const WeightCurve negative(p.c3oAir, p.c3oWat, p.c3oBon, s.f6, s.f7);
    const WeightCurve positive(p.c3oAir, p.c3oWat, p.c3oBon, s.f8, s.f9);
    const bool collect = s.cr1 >= s.cr2 && s.cr1 > 0;
    std::vector<std::int16_t> collected(collect ? n : 0, 0);
    std::int16_t* out = collect ? collected.data() : ctx.image;
    const int w = ctx.width;
    ForRows(ctx, 0, ctx.height - 1, [&](int y) {
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::int64_t diff = static_cast<std::int64_t>(first[i]) - b2[i];
            if (diff == 0) continue;
            std::int64_t m = wPrime;
            if (density) {
                if (diff >= 2)
                    m = positive.Weight(density[i], wPrime);
                else if (diff <= -2)
                    m = negative.Weight(density[i], wPrime);
                m = std::max<std::int64_t>(m, -1024);
            }
            std::int64_t o;
            if (!contour) {
                o = (diff * m + 511) >> 10;
            } else {
                const int t = contour[i];
                o = std::abs(t) < 2 ? diff : ((diff * m + 15) >> 5) / t;
            }
            out[i] = platform::Wrap16(collect ? o : out[i] + o);
        }
    });
    if (collect) {
        if (!BoxSmooth(ctx.width, ctx.height, s.cr1, collected.data(), ctx.abortState, ctx.threads)) return -1;
        for (std::size_t i = 0; i < n; ++i) ctx.image[i] = platform::Wrap16(ctx.image[i] + collected[i]);
    }
    return 1;
}

}  // namespace

StageResult UnsharpMask(const StageContext& ctx, int stagesBefore, const std::function<void(int progress)>& progress)
{
    IpParams& p = *ctx.params;
    const int count = platform::ClampInt(p.numSteps, 0, kMaxUsmSteps);
    const bool difCtrl = DifferenceControlOn(p);
    ctx.Stage(platform::Format("Unsharpen mask start %d steps DifCtrl=%d", count, difCtrl ? 1 : 0));
    const int r0 = ctx.settings ? ctx.settings->ipProtDifCtlRad : 5;
    BlurCache cache(ctx);
    for (int k = 0; k < count; ++k) {
        const UsmStep& s = p.steps[static_cast<std::size_t>(k)];
        if (s.r1 < 0) continue;
        if (s.cr2 > 0) {
            cache.Register({s.cr1, 0}, k);
            cache.Register({s.cr2, 0}, k);
            cache.Register({s.cr1, s.cr2}, k);
        }
        cache.Register({s.r1, 0}, k);
        cache.Register({s.r2, 0}, k);
    }
    auto aborted = [&] { return ctx.Aborted(); };
    if (difCtrl && !cache.MakeDensity(r0) && aborted()) return LoadWord(ctx.abortState) < 0 ? kStageFailed : kStageSkipped;
    bool firstUnsharpSeen = false, refreshed = false;
    for (int k = 1; k <= count; ++k) {
        const UsmStep& s = p.steps[static_cast<std::size_t>(k - 1)];
        int result;
        if (s.r1 >= 0) {
            if (!firstUnsharpSeen) {
                cache.TakePlain(false);
                firstUnsharpSeen = true;
                if (s.w >= 0) refreshed = true;
            } else if (!refreshed && s.w >= 0) {
                cache.TakePlain(true);
                refreshed = true;
            }
            result = UnsharpStep(ctx, cache, s, difCtrl, r0);
        } else {
            const int rad = s.r1 == INT32_MIN ? INT32_MAX : -s.r1;
            const int tag = s.r2;
            SmoothingControl control;
            control.weight = WeightFixedPoint(s.w);
            const WeightCurve positive(p.c3oAir, p.c3oWat, p.c3oBon, s.f8, s.f9);
            // The directional smoothing takes the curve only when its own
            // positive-difference factors are not both 1; the weighted
            // smoothing takes it whenever difference control is on.
            if (difCtrl && (tag < 0 || NotOne(s.f8) || NotOne(s.f9))) {
                control.density = cache.Density(r0);
                control.positive = &positive;
            }
            if (tag >= 2)
                result = IntrinsicSharpening(ctx, rad, s);
            else if (tag >= 0)
                result = DirectionalSmoothing(ctx, rad, tag, control);
            else
                result = WeightedSmoothing(ctx, rad, tag, control);
        }
        cache.Release(k - 1);
        if (result < 0) {
            if (!aborted())
                ctx.Log("WRN: could not apply to this data!");
            else if (LoadWord(ctx.abortState) < 0)
                ctx.Error(MessageText(ctx.messages, kMsgWrongStep));
        }
        if (aborted()) return LoadWord(ctx.abortState) < 0 ? kStageFailed : kStageSkipped;
        if (s.r1 >= 0) {
            ctx.Stage(platform::Format("step %d R1=%d R2=%d CR1=%d CR2=%d W=%d passed", k, s.r1, s.r2, s.cr1, s.cr2, s.w));
            ctx.Dump(platform::Format("3s%2.2dush_%3.3d_%3.3d", k, s.r1, s.r2), ctx.image);
        } else {
            const int rad = s.r1 == INT32_MIN ? INT32_MAX : -s.r1;
            ctx.Stage(platform::Format("step %d Tag=%d Rad=%d W=%d passed", k, s.r2, rad, s.w));
            if (s.r2 < 0)
                ctx.Dump(platform::Format("3s%2.2dsmwgt_%3.3dx%3.3d", k, rad, s.r2 == INT32_MIN ? INT32_MAX : -s.r2), ctx.image);
            else
                ctx.Dump(platform::Format("3s%2.2d%s_%3.3d", k, s.r2 == 1 ? "smdia" : (s.r2 == 2 ? "iorai" : "smiso"), rad),
                         ctx.image);
        }
        if (progress) progress((k + stagesBefore) * 100 / (stagesBefore + count));
    }
    ctx.Stage("Unsharpen mask done");
    return kStageDone;
}

}  // namespace kordex
