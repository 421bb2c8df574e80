// The USB half of the device list: still-image devices found with libusb,
// their texts read from sysfs so that nothing has to be opened.
#pragma once

#include <vector>

#include "camlink/device/device_list.h"

namespace kvx::device {

// Empty when libusb cannot start (no USB on this machine) or KVX_DEVICE_USB=0.
std::vector<DeviceInfo> ListUsbStillImageDevices();

}  // namespace kvx::device
