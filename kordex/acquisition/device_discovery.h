// Finding the sensor: the product id, the rule that matches a device path,
// and the walk over the enumerated devices that opens the first match.
//
// A device matches when its path text contains "PID_XXXX" or "pid_XXXX"
// with the product id as four upper-case hex digits (zero-padded, the way
// device paths spell it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kordex {

class SensorLink;

inline constexpr int kDefaultProductId = 0x2001;
// The sensor maker's USB vendor id. Only devices of this vendor belong to the
// sensor's device class: every other USB device on the machine is left out of
// the enumeration, so it neither counts as an interface index nor stops the
// walk as unreadable.
inline constexpr int kSensorVendorId = 0x1209;

// The device-interface class of the sensor (the project's own constant),
// shown in message 101.
struct ClassGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
inline constexpr ClassGuid kSensorClassGuid = {0x6B1D8E52, 0x3F4A, 0x4C2E,
                                               {0x9A, 0x71, 0x5D, 0x0E, 0x2B, 0x84, 0xC3, 0x17}};

// The PID setting read as hexadecimal text; 0 or less, or text that is not
// hexadecimal, gives 0x2001.
int ProductIdOf(std::string_view pidText);

// True when path contains "PID_%04X" or "pid_%04X" of productId.
bool PathMatchesProductId(std::string_view path, int productId);

// Result of the device walk: 0 on success (the link is open), else the
// message code of the failure (101 enumeration failed, 102 no matching
// interface, 103 unreadable path, 104 open failed).
struct DiscoveryResult {
    int message = 0;
    int index = 0;       // the interface index the walk stopped at
    std::string path;    // the matching path (message 0 and 104)
    std::string why;     // the link's reason for a failed open
};

DiscoveryResult DiscoverAndOpen(SensorLink& link, int productId);

}  // namespace kordex
