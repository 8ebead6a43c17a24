// Raw frame files: round trips, the failure texts with their codes, the
// capacity guard, and the sharing rules under flock locks held elsewhere.
#include "platform/raw_file.h"

#include "platform/paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// While set, write(2) on any descriptor but the standard ones fails with
// ENOSPC once this many more bytes went through: a disk that fills up.
std::atomic<long> g_bytesBeforeFull{-1};

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t bytes)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    long left = g_bytesBeforeFull.load();
    if (fd > 2 && left >= 0) {
        if (left == 0) {
            errno = ENOSPC;
            return -1;
        }
        bytes = std::min<size_t>(bytes, static_cast<size_t>(left));
        g_bytesBeforeFull = left - static_cast<long>(bytes);
    }
    return real(fd, data, bytes);
}

namespace {

using platform::FileError;
using platform::ReadRawFile;
using platform::WriteRawFile;
using test_support::ReadText;
using test_support::TempDir;
using test_support::WriteText;

std::vector<std::uint16_t> Ramp(std::size_t count)
{
    std::vector<std::uint16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::uint16_t>(i * 37u + 0x8000u);
    return samples;
}

// Holds a flock on its own open file description of path until released.
class HeldLock {
public:
    HeldLock(const std::string& path, int mode) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        locked_ = fd_ >= 0 && flock(fd_, mode | LOCK_NB) == 0;
    }
    ~HeldLock() { Release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    bool Locked() const { return locked_; }
    void Release()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    bool locked_ = false;
};

class RawFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.Ok()); }

    // The whole path, as the failure texts show it.
    std::string Shown(const std::string& name) const { return dir_.File(name); }

    TempDir dir_;
};

TEST_F(RawFileTest, WrittenFrameReadsBackAndRewritingTruncates)
{
    const std::string path = dir_.File("dark.raw");
    const std::vector<std::uint16_t> frame = Ramp(910 * 4);
    const std::size_t bytes = frame.size() * 2;
    FileError error;
    ASSERT_TRUE(WriteRawFile(path, frame.data(), bytes, &error)) << error.text;

    // Little-endian words, no header.
    const std::string stored = ReadText(path);
    ASSERT_EQ(stored.size(), bytes);
    EXPECT_EQ(static_cast<unsigned char>(stored[2]), frame[1] & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(stored[3]), frame[1] >> 8);

    std::vector<std::uint16_t> back(frame.size());
    std::size_t read = 0;
    ASSERT_TRUE(ReadRawFile(path, back.data(), static_cast<std::int64_t>(bytes), bytes, &error, &read)) << error.text;
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(back, frame);

    // A shorter frame over a longer file leaves nothing of the old one.
    ASSERT_TRUE(WriteRawFile(path, frame.data(), 10, &error)) << error.text;
    EXPECT_EQ(ReadText(path).size(), 10u);
}

TEST_F(RawFileTest, FileOneByteShortIsRejectedWithTheSizeText)
{
    const std::string path = dir_.File("BPM.raw");
    const std::vector<std::uint16_t> frame = Ramp(100);
    ASSERT_TRUE(WriteRawFile(path, frame.data(), 199, nullptr));

    std::vector<std::uint16_t> back(100, 0x5555);
    FileError error;
    EXPECT_FALSE(ReadRawFile(path, back.data(), 200, 200, &error));
    EXPECT_EQ(error.text, "size of " + Shown("BPM.raw") + " (199 instead 200)");
    EXPECT_EQ(error.code, 0);
}

TEST_F(RawFileTest, MissingFileCannotBeOpened)
{
    std::uint16_t sample = 0;
    FileError error;
    EXPECT_FALSE(ReadRawFile(dir_.File("missing.raw"), &sample, 2, 2, &error));
    EXPECT_EQ(error.text, "can't open " + Shown("missing.raw"));
    EXPECT_EQ(error.code, ENOENT);
}

TEST_F(RawFileTest, FileThatCannotBeCreatedIsReported)
{
    WriteText(dir_.File("plain"), "x");
    const struct {
        const char* path;
        const char* shown;
        int code;
    } cases[] = {
        {"no_such_dir/x.raw", "no_such_dir/x.raw", ENOENT},  // the whole path is shown
        {"plain/x.raw", "plain/x.raw", ENOTDIR},
    };
    const std::uint16_t sample = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileError error;
        EXPECT_FALSE(WriteRawFile(dir_.File(c.path), &sample, 2, &error));
        EXPECT_EQ(error.text, "can't create " + dir_.File(c.shown));
        EXPECT_EQ(error.code, c.code);
    }
}

TEST_F(RawFileTest, FileInAReadOnlyDirectoryCannotBeCreated)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only directories";
    const std::string sub = dir_.File("CAL");
    ASSERT_EQ(mkdir(sub.c_str(), 0555), 0);
    const std::uint16_t sample = 1;
    FileError error;
    EXPECT_FALSE(WriteRawFile(sub + "/dark.raw", &sample, 2, &error));
    EXPECT_EQ(error.text, "can't create CAL/dark.raw");
    EXPECT_EQ(error.code, EACCES);
}

TEST_F(RawFileTest, WholeFileReadIsBoundedByTheCapacity)
{
    const std::string path = dir_.File("frame.raw");
    const std::vector<std::uint16_t> frame = Ramp(64);
    ASSERT_TRUE(WriteRawFile(path, frame.data(), 128, nullptr));

    // A guard word after the buffer must stay untouched on refusal.
    for (const std::int64_t expected : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{128}}) {
        SCOPED_TRACE(expected);
        std::vector<std::uint16_t> buffer(33, 0xBEEF);
        FileError error;
        std::size_t read = 99;
        EXPECT_FALSE(ReadRawFile(path, buffer.data(), expected, 64, &error, &read));
        EXPECT_EQ(error.text, "size of " + Shown("frame.raw") + " (128 instead 64)");
        EXPECT_EQ(error.code, 0);
        EXPECT_EQ(read, 0u);
        EXPECT_EQ(buffer[32], 0xBEEF);
    }

    std::vector<std::uint16_t> large(100, 0);
    std::size_t read = 0;
    FileError error;
    ASSERT_TRUE(ReadRawFile(path, large.data(), 0, large.size() * 2, &error, &read)) << error.text;
    EXPECT_EQ(read, 128u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), large.begin()));
}

// A lock released after 300 ms: the first two attempts (0 and 200 ms) meet
// it, the third (400 ms) gets through.
TEST_F(RawFileTest, LockReleasedWithinTheRetriesIsWaitedFor)
{
    const std::string path = dir_.File("A01_01234.raw");
    const std::vector<std::uint16_t> frame = Ramp(50);
    ASSERT_TRUE(WriteRawFile(path, frame.data(), 100, nullptr));

    const struct {
        const char* name;
        int heldMode;
        bool write;
    } cases[] = {{"reader meets a writer", LOCK_EX, false}, {"writer meets a reader", LOCK_SH, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeldLock lock(path, c.heldMode);
        ASSERT_TRUE(lock.Locked());
        const auto lockedAt = std::chrono::steady_clock::now();
        std::thread holder([&lock, lockedAt] {
            std::this_thread::sleep_until(lockedAt + std::chrono::milliseconds(300));
            lock.Release();
        });
        FileError error;
        bool ok;
        if (c.write) {
            ok = WriteRawFile(path, frame.data(), 100, &error);
        } else {
            std::vector<std::uint16_t> back(50);
            ok = ReadRawFile(path, back.data(), 100, 100, &error);
            EXPECT_EQ(back, frame);
        }
        holder.join();
        EXPECT_TRUE(ok) << error.text;
    }
}

TEST_F(RawFileTest, LockHeldBeyondTheRetriesIsASharingFailure)
{
    const std::string path = dir_.File("A01_01234.raw");
    const std::vector<std::uint16_t> frame = Ramp(50);
    ASSERT_TRUE(WriteRawFile(path, frame.data(), 100, nullptr));

    // Held for the whole call, which takes about 400 ms; the lock outlasts
    // the 700 ms a late third attempt could still need.
    {
        HeldLock lock(path, LOCK_EX);
        ASSERT_TRUE(lock.Locked());
        std::vector<std::uint16_t> back(50);
        FileError error;
        EXPECT_FALSE(ReadRawFile(path, back.data(), 100, 100, &error));
        EXPECT_EQ(error.text, "can't open " + Shown("A01_01234.raw"));
        EXPECT_EQ(error.code, EWOULDBLOCK);
    }
    {
        HeldLock lock(path, LOCK_SH);
        ASSERT_TRUE(lock.Locked());
        const std::vector<std::uint16_t> other = Ramp(10);
        FileError error;
        EXPECT_FALSE(WriteRawFile(path, other.data(), 20, &error));
        EXPECT_EQ(error.text, "can't create " + Shown("A01_01234.raw"));
        EXPECT_EQ(error.code, EWOULDBLOCK);
    }
    // The refused writer did not cut the file under its reader.
    EXPECT_EQ(ReadText(path).size(), 100u);
}

TEST_F(RawFileTest, AWriteThatFailsLeavesTheOldFileWholeAndNoTemporaryFile)
{
    const std::string path = dir_.File("image.raw");
    const std::vector<std::uint16_t> old = Ramp(50), replacement = Ramp(5000);
    ASSERT_TRUE(WriteRawFile(path, old.data(), 100, nullptr));
    for (const long room : {0L, 4000L}) {
        SCOPED_TRACE(room);
        g_bytesBeforeFull = room;
        FileError error;
        const bool ok = WriteRawFile(path, replacement.data(), 10000, &error);
        g_bytesBeforeFull = -1;
        EXPECT_FALSE(ok);
        EXPECT_EQ(error.text, "IO file " + Shown("image.raw"));
        EXPECT_EQ(error.code, ENOSPC);
        EXPECT_EQ(ReadText(path), std::string(reinterpret_cast<const char*>(old.data()), 100));
        EXPECT_EQ(platform::FindFiles(dir_.Path(), "*"), std::vector<std::string>{"image.raw"});
    }
    // A new file that fails is not there at all.
    g_bytesBeforeFull = 10;
    EXPECT_FALSE(WriteRawFile(dir_.File("new.raw"), replacement.data(), 100, nullptr));
    g_bytesBeforeFull = -1;
    EXPECT_FALSE(platform::FileExists(dir_.File("new.raw")));
}

TEST_F(RawFileTest, ALinkWritesItsTargetAndADeviceIsWrittenInPlace)
{
    const std::string target = dir_.File("target.raw"), link = dir_.File("link.raw");
    const std::vector<std::uint16_t> frame = Ramp(10);
    ASSERT_TRUE(WriteRawFile(target, frame.data(), 4, nullptr));
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WriteRawFile(link, frame.data(), 20, nullptr));
    EXPECT_EQ(ReadText(target).size(), 20u);
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";

    FileError error;
    EXPECT_FALSE(WriteRawFile("/dev/full", frame.data(), 20, &error)) << "a full disk is a failure";
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_TRUE(WriteRawFile("/dev/null", frame.data(), 20, nullptr));
}

}  // namespace
