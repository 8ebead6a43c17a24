// The transport stream of one frame and its placement into the frame buffer.
//
// The sensor sends 16-bit little-endian words. The top four bits tag a word:
// 0xA000 starts line v (the low 12 bits), 0xE000 ends line v, the word 0xFFFF
// ends the frame (once a line has started), other 0xFxxx words mean nothing,
// and every other word is a 12-bit pixel of the current line. Lines arrive in
// the sensor model's own order and are placed ("descrambled") by the
// Descramble setting; each stored sample is inverted (4095 - v) when Invert
// is on.
//
// The parser only ever writes inside the width x height frame: pixels of
// lines at or beyond the height, of columns at or beyond the width, or whose
// interleaved target column falls outside an odd-width row are counted and
// dropped. A missing pixel keeps whatever the buffer held (the read-out fills
// it with 0x8000 first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kordex {

// One read of the device: 65,536 bytes (32,768 words).
inline constexpr int kPageBytes = 65536;
inline constexpr int kPageWords = kPageBytes / 2;

// Words of a complete frame: every line with its two markers plus two words
// that end the frame.
std::int64_t ExpectedWords(int width, int height);
// Pages queued for a frame: enough for ExpectedWords plus two spare pages.
int PageCount(int width, int height);

// The sensor model's name as the start report shows it ("" for Descramble 0
// and unknown values, " PRX-APS", " PRX-100", " RC").
const char* ModelText(int descramble);

struct Placement {
    int width = 0;
    int height = 0;
    int descramble = 0;
    bool invert = false;
};

// Where the pixel of stream line `line`, column `column` lands. False when
// it is not stored (line or column outside the frame, or the interleaved
// target column of an odd-width row at or beyond the width).
bool PlacePixel(const Placement& placement, int line, int column, int* row, int* targetColumn);

// Read-out status values.
enum : int {
    kStreamRunning = -1,
    kStreamComplete = 0,
    kStreamTimedOut = 1,
    kStreamAborted = 2,
    kStreamPrematureEnd = 3,
};

struct StreamTracking {
    int highestSol = -1;     // highest start-of-line number seen
    int highestEol = -1;     // highest end-of-line number seen
    int highestColumn = -1;  // highest column index counted
    int line = -1;           // current line, -1 before any marker
    int column = -1;         // column counter, -1 while no line accepts pixels
    int status = kStreamRunning;
    bool solSeen = false;
};

// Progress of a page report: (highest EOL + 1) x 100 / (H - 1) + 0.49999,
// truncated, at most 100. A one-line frame divides by 1, not 0.
int ReadoutProgress(int highestEol, int height);

// Parses pages of one frame into a caller-owned frame buffer. Construction
// allocates the column tables; Parse allocates nothing.
class TransportStreamParser {
public:
    // frame: width x height samples owned by the caller, or null to parse
    // without storing. width and height must be at least 1.
    TransportStreamParser(const Placement& placement, std::int16_t* frame);

    // Parses wordCount little-endian words at bytes. Once the status is no
    // longer kStreamRunning every further word is skipped.
    void Parse(const std::uint8_t* bytes, std::size_t wordCount);

    const StreamTracking& Tracking() const { return t_; }

    // Calls visit for every frame row written since the last call, in row
    // order, and forgets them; the row of a line still in progress stays
    // marked, since the next page goes on writing it. Nothing without a frame.
    void TakeTouchedRows(const std::function<void(int row)>& visit);

private:
    using AliasedWord = std::uint16_t __attribute__((may_alias));

    void StartLine(int line);
    void EndLine(int line);
    void EndOfFrame(std::uint16_t word);
    // The word-by-word path: any alignment, any byte order.
    void ParseBytes(const std::uint8_t* bytes, std::size_t n);
    std::size_t PixelRunBytes(const std::uint8_t* bytes, std::size_t i, std::size_t n);
    // The fast path: 2-byte aligned words on a little-endian host. A run of
    // pixels is measured first and then stored by simple loops the compiler
    // vectorises.
    void ParseWords(const AliasedWord* words, std::size_t n);
    void StoreRun(const AliasedWord* words, int first, int count);

    enum class Order { Direct, Reversed, Interleaved };

    Placement p_;
    std::int16_t* frame_;
    std::uint16_t invertMask_;
    StreamTracking t_;
    std::int16_t* row_ = nullptr;  // target row of the current line, null when not stored
    int rowIndex_ = -1;            // its index, -1 when not stored
    std::vector<std::uint8_t> touched_;  // rows written since TakeTouchedRows
    Order order_ = Order::Direct;
    int storeLimit_ = 0;           // columns below this are stored
    int half_ = 0;                 // width / 2
    std::vector<std::int32_t> interleave_;  // target column of each stream column
};

}  // namespace kordex
