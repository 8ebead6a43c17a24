// Device discovery. The walk stops at the first interface that cannot be
// read (103) rather than skipping it: a driver that publishes unreadable
// interfaces is broken, and saying so beats silently taking another device.
#include "acquisition/device_discovery.h"

#include <cstdlib>
#include <vector>

#include "acquisition/sensor_link.h"
#include "frame/message_table.h"
#include "platform/text.h"

namespace kordex {

int ProductIdOf(std::string_view pidText)
{
    const std::string text(platform::Trim(pidText));
    if (text.empty()) return kDefaultProductId;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 16);
    if (end == text.c_str() || value <= 0 || value > 0x7FFFFFFFL) return kDefaultProductId;
    return static_cast<int>(value);
}

bool PathMatchesProductId(std::string_view path, int productId)
{
    const std::string upper = platform::Format("PID_%04X", static_cast<unsigned>(productId));
    const std::string lower = platform::Format("pid_%04X", static_cast<unsigned>(productId));
    return path.find(upper) != std::string_view::npos || path.find(lower) != std::string_view::npos;
}

DiscoveryResult DiscoverAndOpen(SensorLink& link, int productId)
{
    DiscoveryResult result;
    std::vector<DeviceInterface> interfaces;
    if (!link.Enumerate(&interfaces)) {
        result.message = kMsgNoDriver;
        return result;
    }
    for (std::size_t i = 0;; ++i) {
        result.index = static_cast<int>(i);
        if (i >= interfaces.size()) {
            result.message = kMsgNoInterface;
            return result;
        }
        if (!interfaces[i].readable) {
            result.message = kMsgWrongInterface;
            return result;
        }
        if (!PathMatchesProductId(interfaces[i].path, productId)) continue;
        result.path = interfaces[i].path;
        if (!link.Open(static_cast<int>(i), &result.why)) result.message = kMsgDeviceUsed;
        return result;
    }
}

}  // namespace kordex
