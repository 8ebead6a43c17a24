// Transport-stream parser and placement.
//
// The stream is one sequential pass by nature (a word's meaning depends on
// the markers before it), so it runs on the read-out thread alone rather than
// in row bands; it keeps up with the wire many times over.
//
// The hot path is a pixel run: the words between two markers are pixels of
// one line, measured first (blocks of 32 tested for markers at once) and then
// stored through the line's column order by simple loops the compiler
// vectorises. Every order keeps the same store limit (the width, or the
// width - 1 for interleaved odd-width rows, whose last stream column would
// land at column W), so no store ever leaves the row. Pages that are not
// 2-byte aligned, or a big-endian host, take the word-by-word path, which
// gives the same result.
#include "acquisition/transport_stream.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>

#include "frame/vector_clones.h"

namespace kordex {
namespace {

constexpr std::uint16_t kTagMask = 0xF000;
constexpr std::uint16_t kTagSol = 0xA000;
constexpr std::uint16_t kTagEol = 0xE000;
constexpr std::uint16_t kTagFrameEnd = 0xF000;
constexpr std::uint16_t kFrameEnd = 0xFFFF;
constexpr std::uint16_t kValueMask = 0x0FFF;
// Bit t set: a word whose tag is t is a pixel (every tag but 0xA, 0xE, 0xF).
constexpr unsigned kPixelTags = 0x3BFFu;

inline std::uint16_t WordAt(const std::uint8_t* bytes, std::size_t i)
{
    return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

inline bool IsPixel(std::uint16_t word)
{
    return ((kPixelTags >> (word >> 12)) & 1u) != 0;
}

// 0xFFFF for a marker word (tag 0xA, 0xE or 0xF), else 0; written with
// 16-bit compares only so that the block scan below vectorises.
inline std::uint16_t MarkerMask(std::uint16_t w)
{
    const std::int16_t s = static_cast<std::int16_t>(w);
    const bool sol = (w & kTagMask) == kTagSol;
    const bool high = s < 0 && s >= static_cast<std::int16_t>(kTagEol);  // 0xE000..0xFFFF
    return static_cast<std::uint16_t>(-static_cast<int>(sol | high));
}

// The number of pixel words at the start of words[0..n): blocks of 32 are
// tested whole, the block holding the first marker word by word.
template <typename Word>
std::size_t PixelRunLength(const Word* words, std::size_t n)
{
    constexpr std::size_t kBlock = 32;
    std::size_t k = 0;
    while (k + kBlock <= n) {
        std::uint16_t any = 0;
        for (std::size_t j = 0; j < kBlock; ++j) any |= MarkerMask(words[k + j]);
        if (any != 0) break;
        k += kBlock;
    }
    while (k < n && MarkerMask(words[k]) == 0) ++k;
    return k;
}

// The store kernels of a pixel run: plain loops the compiler vectorises,
// built for AVX2 and for the baseline (KORDEX_VECTOR_CLONES).

using Word = std::uint16_t __attribute__((may_alias));

KORDEX_VECTOR_CLONES
std::size_t PixelRunLengthWords(const Word* words, std::size_t n)
{
    return PixelRunLength(words, n);
}

KORDEX_VECTOR_CLONES
void StoreDirect(std::int16_t* __restrict out, const Word* __restrict in, int count, std::uint16_t inv)
{
    for (int k = 0; k < count; ++k) out[k] = static_cast<std::int16_t>((in[k] & kValueMask) ^ inv);
}

// out receives the run backwards: out[count - 1 - k] = in[k].
KORDEX_VECTOR_CLONES
void StoreReversed(std::int16_t* __restrict out, const Word* __restrict in, int count, std::uint16_t inv)
{
    const Word* const last = in + (count - 1);
    for (int k = 0; k < count; ++k) out[k] = static_cast<std::int16_t>((last[-k] & kValueMask) ^ inv);
}

// out[2j] = first[j], out[2j + 1] = second[j] for j < pairs.
KORDEX_VECTOR_CLONES
void StoreInterleaved(std::int16_t* __restrict out, const Word* __restrict first, const Word* __restrict second,
                      int pairs, std::uint16_t inv)
{
    for (int j = 0; j < pairs; ++j) {
        out[2 * j] = static_cast<std::int16_t>((first[j] & kValueMask) ^ inv);
        out[2 * j + 1] = static_cast<std::int16_t>((second[j] & kValueMask) ^ inv);
    }
}

bool SplitsRows(int descramble)
{
    return descramble == 1 || descramble == 2;
}

bool Interleaves(int descramble)
{
    return descramble == 2 || descramble == 3;
}

int TargetRow(int descramble, int height, int line)
{
    if (!SplitsRows(descramble)) return line;
    return (line % 2 == 0) ? line / 2 : height - 1 - line / 2;
}

}  // namespace

std::int64_t ExpectedWords(int width, int height)
{
    return static_cast<std::int64_t>(height) * (static_cast<std::int64_t>(width) + 2) + 2;
}

int PageCount(int width, int height)
{
    const std::int64_t words = ExpectedWords(width, height);
    return static_cast<int>((words + kPageWords - 1) / kPageWords) + 2;
}

const char* ModelText(int descramble)
{
    switch (descramble) {
    case 1: return " PRX-APS";
    case 2: return " PRX-100";
    case 3: return " RC";
    default: return "";
    }
}

int ReadoutProgress(int highestEol, int height)
{
    const int divisor = std::max(height - 1, 1);
    const double percent = (highestEol + 1) * 100.0 / divisor + 0.49999;
    return std::min(static_cast<int>(percent), 100);
}

bool PlacePixel(const Placement& p, int line, int column, int* row, int* targetColumn)
{
    if (line < 0 || line >= p.height || column < 0 || column >= p.width) return false;
    int col = column;
    if (p.descramble == 1 && line % 2 == 1) {
        col = p.width - 1 - column;
    } else if (Interleaves(p.descramble)) {
        const int half = p.width / 2;
        col = column < half ? 2 * column : 2 * (column - half) + 1;
        if (col >= p.width) return false;
    }
    *row = TargetRow(p.descramble, p.height, line);
    *targetColumn = col;
    return true;
}

TransportStreamParser::TransportStreamParser(const Placement& placement, std::int16_t* frame)
    : p_(placement), frame_(frame), invertMask_(placement.invert ? kValueMask : 0), half_(placement.width / 2)
{
    if (frame_ != nullptr) touched_.assign(static_cast<std::size_t>(p_.height), 0);
    if (Interleaves(p_.descramble)) {
        const int half = p_.width / 2;
        interleave_.resize(static_cast<std::size_t>(p_.width));
        for (int c = 0; c < p_.width; ++c)
            interleave_[static_cast<std::size_t>(c)] = c < half ? 2 * c : 2 * (c - half) + 1;
    }
}

void TransportStreamParser::StartLine(int line)
{
    t_.line = line;
    t_.column = 0;
    t_.solSeen = true;
    t_.highestSol = std::max(t_.highestSol, line);
    row_ = nullptr;
    rowIndex_ = -1;
    if (frame_ == nullptr || line >= p_.height) return;
    rowIndex_ = TargetRow(p_.descramble, p_.height, line);
    touched_[static_cast<std::size_t>(rowIndex_)] = 1;
    row_ = frame_ + static_cast<std::size_t>(rowIndex_) * p_.width;
    storeLimit_ = p_.width;
    if (Interleaves(p_.descramble)) {
        order_ = Order::Interleaved;
        if (p_.width % 2 != 0) storeLimit_ = p_.width - 1;
    } else if (p_.descramble == 1 && line % 2 == 1) {
        order_ = Order::Reversed;
    } else {
        order_ = Order::Direct;
    }
}

std::size_t TransportStreamParser::PixelRunBytes(const std::uint8_t* bytes, std::size_t i, std::size_t n)
{
    int c = t_.column;
    const int first = c;
    if (row_ == nullptr) {
        for (; i < n && IsPixel(WordAt(bytes, i)); ++i) ++c;
    } else {
        std::int16_t* const row = row_;
        const int limit = storeLimit_;
        const std::uint16_t inv = invertMask_;
        switch (order_) {
        case Order::Direct:
            for (; i < n; ++i, ++c) {
                const std::uint16_t w = WordAt(bytes, i);
                if (!IsPixel(w)) break;
                if (c < limit) row[c] = static_cast<std::int16_t>((w & kValueMask) ^ inv);
            }
            break;
        case Order::Reversed: {
            const int last = p_.width - 1;
            for (; i < n; ++i, ++c) {
                const std::uint16_t w = WordAt(bytes, i);
                if (!IsPixel(w)) break;
                if (c < limit) row[last - c] = static_cast<std::int16_t>((w & kValueMask) ^ inv);
            }
            break;
        }
        case Order::Interleaved: {
            const std::int32_t* const target = interleave_.data();
            for (; i < n; ++i, ++c) {
                const std::uint16_t w = WordAt(bytes, i);
                if (!IsPixel(w)) break;
                if (c < limit) row[target[c]] = static_cast<std::int16_t>((w & kValueMask) ^ inv);
            }
            break;
        }
        }
    }
    if (c > first) t_.highestColumn = std::max(t_.highestColumn, c - 1);
    t_.column = c;
    return i;
}

void TransportStreamParser::EndLine(int line)
{
    t_.line = line;
    t_.column = -1;
    t_.highestEol = std::max(t_.highestEol, line);
    row_ = nullptr;
    rowIndex_ = -1;
}

void TransportStreamParser::TakeTouchedRows(const std::function<void(int row)>& visit)
{
    for (std::size_t r = 0; r < touched_.size(); ++r) {
        if (!touched_[r]) continue;
        touched_[r] = 0;
        visit(static_cast<int>(r));
    }
    if (rowIndex_ >= 0) touched_[static_cast<std::size_t>(rowIndex_)] = 1;
}

void TransportStreamParser::EndOfFrame(std::uint16_t word)
{
    if (word == kFrameEnd && t_.solSeen)
        t_.status = t_.highestSol < p_.height - 1 ? kStreamPrematureEnd : kStreamComplete;
}

void TransportStreamParser::Parse(const std::uint8_t* bytes, std::size_t n)
{
    if (std::endian::native == std::endian::little && reinterpret_cast<std::uintptr_t>(bytes) % 2 == 0)
        ParseWords(reinterpret_cast<const AliasedWord*>(bytes), n);
    else
        ParseBytes(bytes, n);
}

void TransportStreamParser::ParseBytes(const std::uint8_t* bytes, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && t_.status == kStreamRunning) {
        const std::uint16_t w = WordAt(bytes, i);
        const std::uint16_t tag = w & kTagMask;
        if (tag == kTagSol) {
            StartLine(w & kValueMask);
            ++i;
        } else if (tag == kTagEol) {
            EndLine(w & kValueMask);
            ++i;
        } else if (tag == kTagFrameEnd) {
            EndOfFrame(w);
            ++i;
        } else if (t_.line < 0 || t_.column < 0) {
            ++i;  // a pixel outside any line
        } else {
            i = PixelRunBytes(bytes, i, n);
        }
    }
}

void TransportStreamParser::ParseWords(const AliasedWord* words, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && t_.status == kStreamRunning) {
        const std::uint16_t w = words[i];
        const std::uint16_t tag = w & kTagMask;
        if (tag == kTagSol) {
            StartLine(w & kValueMask);
            ++i;
        } else if (tag == kTagEol) {
            EndLine(w & kValueMask);
            ++i;
        } else if (tag == kTagFrameEnd) {
            EndOfFrame(w);
            ++i;
        } else if (t_.line < 0 || t_.column < 0) {
            ++i;
        } else {
            const std::size_t run = PixelRunLengthWords(words + i, n - i);
            const int first = t_.column;
            // Columns past the store limit are counted, never stored; a run
            // cannot exceed a page, so the column counter stays far from
            // overflow.
            if (row_ != nullptr && first < storeLimit_)
                StoreRun(words + i, first, static_cast<int>(std::min<std::size_t>(run, static_cast<std::size_t>(storeLimit_ - first))));
            t_.column = first + static_cast<int>(run);
            t_.highestColumn = std::max(t_.highestColumn, t_.column - 1);
            i += run;
        }
    }
}

void TransportStreamParser::StoreRun(const AliasedWord* words, int first, int count)
{
    switch (order_) {
    case Order::Direct:
        StoreDirect(row_ + first, words, count, invertMask_);
        break;
    case Order::Reversed:
        StoreReversed(row_ + (p_.width - first - count), words, count, invertMask_);
        break;
    case Order::Interleaved:
        if (first == 0 && count == storeLimit_) {
            // A whole line: its first half fills the even columns, its second
            // half the odd ones. With an odd width the store limit has
            // dropped the last stream pixel, and the last column keeps the
            // fill.
            StoreInterleaved(row_, words, words + half_, storeLimit_ - half_, invertMask_);
        } else {
            const std::int32_t* const target = interleave_.data();
            for (int k = 0; k < count; ++k)
                row_[target[first + k]] = static_cast<std::int16_t>((words[k] & kValueMask) ^ invertMask_);
        }
        break;
    }
}

}  // namespace kordex
