// Reading [Virtual Sensor]. Unreadable values fall back to the defaults; a
// line list keeps the numbers it can read and skips the rest.
#include "acquisition/virtual_sensor_settings.h"

#include <algorithm>
#include <cstdlib>

#include "acquisition/device_discovery.h"
#include "platform/exact_math.h"
#include "platform/paths.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kordex {
namespace {

std::set<int> ParseLineList(const std::string& text)
{
    std::set<int> lines;
    const char* at = text.c_str();
    while (*at != '\0') {
        char* end = nullptr;
        const long value = std::strtol(at, &end, 10);
        if (end == at) {
            ++at;
            continue;
        }
        if (value >= 0 && value < 4096) lines.insert(static_cast<int>(value));
        at = end;
    }
    return lines;
}

}  // namespace

VirtualSensorSettings LoadVirtualSensorSettings(const std::string& iniPath, const std::string& pidText,
                                                int descramble)
{
    platform::ProfileFile p(iniPath);
    p.SetSection(kVirtualSensorSection);
    VirtualSensorSettings s;
    const std::string productText = p.ReadString("ProductId", "");
    s.productId = ProductIdOf(productText.empty() ? pidText : productText);
    s.devicePath = std::string(platform::Trim(p.ReadString("DevicePath", "")));
    s.otherDevices = platform::ClampInt(p.ReadInt("OtherDevices", 0), 0, 16);
    s.descramble = p.ReadInt("Descramble", descramble);
    s.shotDelayMs = std::max(p.ReadInt("ShotDelayMs", s.shotDelayMs), 0);
    s.streamMBps = p.ReadReal("StreamMBps", s.streamMBps);
    if (!(s.streamMBps > 0.0)) s.streamMBps = 40.0;
    s.seed = static_cast<unsigned>(p.ReadInt("Seed", 1));
    s.darkOffset = p.ReadInt("DarkOffset", s.darkOffset);
    s.gainSpread = p.ReadReal("GainSpread", s.gainSpread);
    s.noise = p.ReadReal("Noise", s.noise);
    s.exposure = p.ReadInt("Exposure", s.exposure);
    s.badPixels = std::max(p.ReadInt("BadPixels", s.badPixels), 0);
    s.badColumn = p.ReadInt("BadColumn", s.badColumn);
    s.phantom = p.ReadInt("Phantom", 1) != 0;
    s.fault = std::string(platform::Trim(p.ReadString("Fault", "")));
    const std::string failText(platform::Trim(p.ReadString("FailRequest", "")));
    if (!failText.empty()) {
        char* end = nullptr;
        const long code = std::strtol(failText.c_str(), &end, 16);
        if (end != failText.c_str() && code >= 0 && code <= 0xFF) s.failRequest = static_cast<int>(code);
    }
    s.missingLines = ParseLineList(p.ReadString("MissingLines", ""));
    s.oddBytesAtPage = p.ReadInt("OddBytesAtPage", -1);
    s.stallAfterPages = p.ReadInt("StallAfterPages", -1);
    s.endMarker = p.ReadInt("EndMarker", 1) != 0;
    s.runOn = p.ReadInt("RunOn", 0) != 0;
    s.replayDir = std::string(platform::Trim(p.ReadString("ReplayDir", "")));
    if (!s.replayDir.empty()) s.replayDir = platform::ExpandHome(s.replayDir);
    return s;
}

}  // namespace kordex
