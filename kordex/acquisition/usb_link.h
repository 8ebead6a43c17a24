// The USB link: the sensor through libusb-1.0.
//
// Enumeration lists every USB device with the path text
// "usb#VID_%04X&PID_%04X#%03d-%s" (vendor id, product id, bus number, port
// path such as "1.4"); a device whose descriptor or port path cannot be read
// is listed as unreadable. Open claims interface 0 (detaching a kernel
// driver where one is bound) and takes its first bulk IN endpoint for the
// read-out. A vendor request is a control transfer, request type 0xC0, with
// no data stage. Reads are asynchronous 65,536-byte bulk IN transfers, all
// queued at once; polling runs libusb's event handling without blocking.
#pragma once

#include <memory>

#include "acquisition/sensor_link.h"

namespace kordex {

std::shared_ptr<SensorLink> MakeUsbLink();

}  // namespace kordex
