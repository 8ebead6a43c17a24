#include "grayscope/view/frame_load.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

namespace grayscope {

bool AutocompleteDimensions(std::int64_t count, int* width, int* height)
{
    auto fits = [&] { return static_cast<std::int64_t>(*width) * *height == count; };
    if (fits())
        return true;
    if (*width > 16 && count % *width == 0 && count / *width <= 0x7FFFFFFF)
        *height = static_cast<int>(count / *width);
    if (!fits() && *height > 16 && count % *height == 0 && count / *height <= 0x7FFFFFFF)
        *width = static_cast<int>(count / *height);
    if (!fits()) {
        auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(count)));
        while (root * root > count)
            --root;
        while ((root + 1) * (root + 1) <= count)
            ++root;
        if (root * root == count && root > 0) {
            *width = static_cast<int>(root);
            *height = static_cast<int>(root);
        }
    }
    return fits();
}

std::int64_t FileBytes(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return st.st_size;
}

LoadResult LoadFrame(const std::string& path, bool autocomplete, int* width, int* height, ViewerImage* image,
                     int* errorCode)
{
    *image = ViewerImage{};
    *errorCode = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *errorCode = errno;
        return LoadResult::CannotOpen;
    }
    // Shared reading: a writer holding its exclusive lock is waited for.
    ::flock(fd, LOCK_SH);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *errorCode = errno;
        ::close(fd);
        return LoadResult::ReadFailed;
    }
    const std::int64_t bytes = st.st_size;
    if (bytes < kSmallestFileBytes) {
        ::close(fd);
        return LoadResult::TooSmall;
    }
    // A frame is whole 16-bit samples; a stray byte at the end means the file
    // is not a frame of any size (a truncated copy, another format), so it is
    // refused before the dimensions are completed.
    if (bytes % 2 != 0) {
        ::close(fd);
        return LoadResult::SizeMismatch;
    }
    const std::int64_t count = bytes / 2;
    int w = *width;
    int h = *height;
    if (autocomplete)
        AutocompleteDimensions(count, &w, &h);
    if (static_cast<std::int64_t>(w) * h != count || w <= 0 || h <= 0) {
        ::close(fd);
        return LoadResult::SizeMismatch;
    }
    ViewerImage loaded;
    loaded.width = w;
    loaded.height = h;
    loaded.pixels.resize(static_cast<std::size_t>(count));
    auto* dst = reinterpret_cast<char*>(loaded.pixels.data());
    std::size_t want = static_cast<std::size_t>(count) * 2;
    std::size_t done = 0;
    while (done < want) {
        const ssize_t got = ::read(fd, dst + done, want - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            *errorCode = got < 0 ? errno : 0;
            ::close(fd);
            return LoadResult::ReadFailed;
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    BuildStatistics(&loaded);
    *image = std::move(loaded);
    *width = w;
    *height = h;
    return LoadResult::Loaded;
}

}  // namespace grayscope
