// The virtual sensor's knobs: section [Virtual Sensor] of the library's
// settings file, read when a virtual link is made (at every connect).
//
//   ProductId        hex text; the product id in the device path (default: the PID setting)
//   DevicePath       the whole device path text (default "usb#VID_1209&PID_<id>#001-1")
//   OtherDevices     devices of other products listed before the sensor (default 0)
//   Descramble       line order the sensor sends (default: the Descramble setting)
//   ShotDelayMs      delay from the queued read to the X-ray shot of a bright frame (3000)
//   StreamMBps       transfer pace in megabytes per second (40, like USB 2.0 bulk)
//   Seed             seed of the fixed pattern and the noise (1)
//   DarkOffset       mean dark level in counts (240)
//   GainSpread       relative per-pixel gain spread (0.05)
//   Noise            read noise, standard deviation in counts (4)
//   Exposure         open-field signal above the dark level (2600)
//   BadPixels        number of stuck pixels (12)
//   BadColumn        frame column with a weak, offset readout; -1 none (301)
//   Phantom          1: bright frames show the intraoral phantom; 0: flat field (1)
//   Fault            "" or one of: no_driver, missing, unreadable, busy
//   FailRequest      hex code of a vendor request that always fails ("" none)
//   MissingLines     comma-separated stream lines that are never sent
//   OddBytesAtPage   read index that carries one stray byte (-1 none)
//   StallAfterPages  reads after which the stream stops (-1 never)
//   EndMarker        1 send the end-of-frame words; 0 leave them out
//   RunOn            1: no end marker, pixel words fill every queued read
//   ReplayDir        folder of "$a*.bin" dump files sent instead of the model
#pragma once

#include <set>
#include <string>

namespace kordex {

struct VirtualSensorSettings {
    int productId = 0x2001;
    std::string devicePath;
    int otherDevices = 0;
    int descramble = 1;
    int shotDelayMs = 3000;
    double streamMBps = 40.0;
    unsigned seed = 1;
    int darkOffset = 240;
    double gainSpread = 0.05;
    double noise = 4.0;
    int exposure = 2600;
    int badPixels = 12;
    int badColumn = 301;
    bool phantom = true;
    std::string fault;
    int failRequest = -1;
    std::set<int> missingLines;
    int oddBytesAtPage = -1;
    int stallAfterPages = -1;
    bool endMarker = true;
    bool runOn = false;
    std::string replayDir;
};

inline constexpr const char* kVirtualSensorSection = "Virtual Sensor";

// Reads [Virtual Sensor] of iniPath; pidText and descramble are the library's
// PID and Descramble settings, the defaults of ProductId and Descramble.
VirtualSensorSettings LoadVirtualSensorSettings(const std::string& iniPath, const std::string& pidText,
                                                int descramble);

}  // namespace kordex
