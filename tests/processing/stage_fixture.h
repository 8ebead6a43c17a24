// A small image with a StageContext around it that records every report and
// dump, for calling the processing stages directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "processing/stage_context.h"
#include "support/temp_dir.h"

namespace test_support {

struct StageRecord {
    int kind;
    int code;
    std::string text;
};

class StageFixture {
public:
    StageFixture(int width, int height, int threads = 2) : image(static_cast<std::size_t>(width) * height, 0)
    {
        ctx.image = image.data();
        ctx.width = width;
        ctx.height = height;
        ctx.threads = threads;
        ctx.abortState = &abortState;
        ctx.params = &params;
        ctx.settings = &settings;
        ctx.report = [this](int kind, int code, const std::string& text) { reports.push_back({kind, code, text}); };
        ctx.dump = [this](const std::string& name, const std::int16_t* buffer) {
            dumps.push_back(name);
            dumped[name].assign(buffer, buffer + image.size());
        };
    }

    std::int16_t& At(int x, int y) { return image[static_cast<std::size_t>(y) * ctx.width + x]; }

    bool Logged(const std::string& text) const
    {
        for (const auto& r : reports)
            if (r.text == text) return true;
        return false;
    }
    int CountStartingWith(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& r : reports) n += r.text.rfind(prefix, 0) == 0;
        return n;
    }

    std::vector<std::int16_t> image;
    std::int32_t abortState = 0;
    kordex::IpParams params;
    kordex::LibrarySettings settings;
    kordex::StageContext ctx;
    std::vector<StageRecord> reports;
    std::vector<std::string> dumps;
    std::map<std::string, std::vector<std::int16_t>> dumped;
};

// A settings file at path holding text, and its accessor on section.
inline platform::ProfileFile ProfileOnSection(const std::string& path, const std::string& text, const char* section)
{
    WriteText(path, text);
    platform::ProfileFile profile(path);
    profile.SetSection(section);
    return profile;
}

}  // namespace test_support
