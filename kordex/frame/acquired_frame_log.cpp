#include "frame/acquired_frame_log.h"

#include "frame/frame_files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace kordex {

std::vector<std::int16_t> DownScaleFrame(const std::int16_t* frame, int width, int height, int step,
                                         int* outWidth, int* outHeight)
{
    if (step <= 1) {
        *outWidth = width;
        *outHeight = height;
        return std::vector<std::int16_t>(frame, frame + static_cast<std::size_t>(width) * height);
    }
    const int w = width / step;
    const int h = height / step;
    std::vector<std::int16_t> out(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::int16_t* line = frame + static_cast<std::size_t>(y) * step * width;
        std::int16_t* dst = out.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) dst[x] = line[x * step];
    }
    *outWidth = w;
    *outHeight = h;
    return out;
}

std::string LogAcquiredFrame(Log& log, const std::string& homePath, const std::int16_t* frame,
                             int width, int height, bool bright, int count, int downScale,
                             const std::tm& now)
{
    if (count == 0 || !frame) return {};
    const char* letter = bright ? "B" : "D";
    const std::string logDir = homePath + "Log/";
    platform::MakeDirectories(homePath + "Log");
    if (count > kMaxLoggedFrames) {
        log.Plain(platform::Format("WRN: %s %d asked, %d kept", bright ? "LogAcqFramesNumBright" : "LogAcqFramesNumDark",
                                   count, kMaxLoggedFrames));
        count = kMaxLoggedFrames;
    }

    std::string path;
    if (count > 0) {
        for (int k = count - 1; k >= 0; --k) {
            const std::string from = platform::Format("%s$%s%2.2d.raw", logDir.c_str(), letter, k);
            if (!platform::FileExists(from)) continue;
            const std::string to = platform::Format("%s$%s%2.2d.raw", logDir.c_str(), letter, k + 1);
            if (platform::FileExists(to)) platform::RemoveFile(to);
            platform::MoveFile(from, to);
        }
        path = platform::Format("%s$%s%2.2d.raw", logDir.c_str(), letter, 0);
    } else {
        path = platform::Format("%s$%2.2d%s-%2.2d_%2.2d_%2.2d.raw", logDir.c_str(), now.tm_mday,
                                letter, now.tm_hour, now.tm_min, now.tm_sec);
    }
    int w = 0, h = 0;
    const std::vector<std::int16_t> pixels = DownScaleFrame(frame, width, height, downScale, &w, &h);
    if (!WriteRawFrame(log, path, pixels.data(), pixels.size() * sizeof(std::int16_t), false))
        return {};
    return path;
}

}  // namespace kordex
