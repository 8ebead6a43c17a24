// Fuzzes the settings-file reader and writer with arbitrary file contents:
// every read must stay within its capacity and a write must keep the file
// readable with the value just written.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        char name[] = "/tmp/kordex_profile_fuzz_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    platform::ProfileFile profile(path);
    for (const char* section : {"Settings", "User Interface", "IP1", ""}) {
        profile.SetSection(section);
        const std::string value = profile.ReadString("HomeDir", "~/Opticor/");
        if (value.size() >= platform::ProfileFile::kValueCapacity) __builtin_trap();
        (void)profile.ReadInt("FrameWidth", 910);
        (void)profile.ReadReal("IPProtContSmooth", 2.0);
        (void)profile.ReadSectionText(section);
    }
    profile.SetSection("Settings");
    if (!profile.WriteString("PID", " \\2001")) return 0;
    if (profile.ReadString("PID", "") != " \\2001") __builtin_trap();
    return 0;
}
