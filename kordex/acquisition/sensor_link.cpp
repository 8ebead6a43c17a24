// Choosing the sensor link.
#include "acquisition/sensor_link.h"

#include <cstdlib>

#include "acquisition/usb_link.h"
#include "acquisition/virtual_sensor.h"
#include "frame/settings.h"
#include "platform/text.h"

namespace kordex {

std::string SensorLinkKind(const LibrarySettings& settings)
{
    const char* environment = std::getenv("KORDEX_SENSOR_LINK");
    const std::string kind(platform::Trim(environment && *environment ? environment : settings.sensorLink));
    return platform::EqualsNoCase(kind, "virtual") ? "virtual" : "usb";
}

std::shared_ptr<SensorLink> MakeSensorLink(const LibrarySettings& settings, const std::string& iniPath, int width,
                                           int height, Log* log)
{
    if (SensorLinkKind(settings) == "virtual")
        return std::make_shared<VirtualSensor>(
            LoadVirtualSensorSettings(iniPath, settings.pid, settings.descramble), width, height, log);
    return MakeUsbLink();
}

}  // namespace kordex
