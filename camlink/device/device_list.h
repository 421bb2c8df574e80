// Still-image devices on this machine: USB devices with an interface of
// class 6 and the virtual cameras registered in kvx::VirtualDeviceFolder().
//
// Usage (program engine):
//   #include "camlink/device/device_list.h"        link kvx_device
//   for (const auto& path : kvx::device::StillImageInterfacePaths()) ...
//       -> "\\?\usb#vid_4e7a&pid_5e30#KVX00001#{6bdd1fc6-810f-11d0-bec7-08002be2092f}"
//   auto driver = kvx::device::LookupDriver("VID_4E7A", "PID_5E30", "KVX00001");
//       -> the "Driver" text of that device instance, compared by callers
//          without regard to case with ZR4_GetActiveDriverInstance's id.
// Vendor, product and instance texts are matched without regard to case,
// so ids cut out of upper-cased paths work.
//
// Environment: $KVX_DEVICE_DIR names the virtual device folder (tests point
// it at a private folder); KVX_DEVICE_USB=0 leaves USB out of every list;
// $KVX_DEVICE_ONLY, an interface path, narrows the list to that one device
// (a front end asked for one camera among several sets it before it links,
// so that the camera link library, which has its own copy of this layer,
// opens that camera and no other).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvx::device {

// Interface class of still-image devices, in the form of device interface paths.
inline constexpr const char* kStillImageClassGuid = "{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
inline constexpr uint32_t kDeviceTypeDigitalCamera = 0x00020000;

// The six properties read for each candidate device. An empty optional is a
// property that is not a string (or, for type, not a number).
struct DeviceProperties {
    std::optional<std::string> deviceId;
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::optional<uint32_t> type;
    std::optional<std::string> port;
    std::optional<std::string> pnpId;
};

enum class DeviceKind { Usb, Virtual };

struct DeviceInfo {
    DeviceProperties properties;
    std::string vendor;    // "VID_4E7A"
    std::string product;   // "PID_5E30"
    std::string instance;  // device instance id
    std::string driver;    // driver id of the instance
    DeviceKind kind = DeviceKind::Virtual;
    std::string socketPath;      // virtual: the camera's socket
    uint8_t bus = 0;             // USB: bus number
    std::vector<uint8_t> ports;  // USB: port path from the root hub
};

// USB devices first (bus order), then virtual cameras by registration file
// name. A virtual camera is listed only while its socket listens; a
// registration left behind by a camera that died (socket file gone, or
// connection refused) is removed from the folder instead.
std::vector<DeviceInfo> ListStillImageDevices();
// The same without the $KVX_DEVICE_ONLY narrowing: every device attached.
std::vector<DeviceInfo> ListEveryStillImageDevice();

// "\\?\" + the PnP id with '\' turned into '#', in lower case except for the
// instance id, + "#" + class guid; without a PnP id of three parts, built from
// vendor, product and instance.
std::string InterfacePath(const DeviceInfo& device);
// InterfacePath of every still-image device, in list order.
std::vector<std::string> StillImageInterfacePaths();

// Device instance ids present under vendor and product ("VID_xxxx", "PID_xxxx").
std::vector<std::string> DeviceInstances(const std::string& vendor, const std::string& product);
// The driver id of one device instance; empty when there is no such instance.
std::optional<std::string> LookupDriver(const std::string& vendor, const std::string& product,
                                        const std::string& instance);

// True when a and b are equal without regard to ASCII case.
bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace kvx::device
