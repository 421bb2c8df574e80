#include "camlink/device/device_list.h"

#include <cctype>
#include <cstdlib>

#include "camlink/device/registration_liveness.h"
#include "camlink/device/usb_devices.h"
#include "camlink/device/virtual_registration.h"
#include "log/write_log.h"
#include "platform/paths.h"

namespace kvx::device {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

DeviceInfo FromRegistration(const VirtualRegistration& r) {
    DeviceInfo d;
    d.kind = DeviceKind::Virtual;
    d.vendor = r.vendor;
    d.product = r.product;
    d.instance = r.instance;
    d.driver = r.driver;
    d.socketPath = r.socket;
    d.properties.deviceId = r.deviceId;
    d.properties.name = r.name;
    d.properties.description = r.description;
    d.properties.type = r.type;
    d.properties.port = r.port;
    d.properties.pnpId = r.pnpId;
    return d;
}

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<DeviceInfo> ListStillImageDevices() {
    std::vector<DeviceInfo> out = ListEveryStillImageDevice();
    const char* only = std::getenv("KVX_DEVICE_ONLY");
    if (only == nullptr || *only == '\0') return out;
    std::erase_if(out, [&](const DeviceInfo& d) { return !EqualsNoCase(InterfacePath(d), only); });
    return out;
}

std::vector<DeviceInfo> ListEveryStillImageDevice() {
    std::vector<DeviceInfo> out = ListUsbStillImageDevices();
    // A camera that died without unregistering is no device: offering it
    // would send the open, and every search, to a socket nobody serves.
    std::vector<std::string> removed;
    for (const auto& r : ReadLiveRegistrations(kvx::VirtualDeviceFolder(), &removed))
        out.push_back(FromRegistration(r));
    for (const auto& file : removed)
        WriteLog(3, "--- %s: camera gone without unregistering, registration removed ---",
                 file.c_str());
    return out;
}

std::string InterfacePath(const DeviceInfo& device) {
    std::string path = "\\\\?\\";
    const std::string& pnp = device.properties.pnpId.value_or(std::string());
    auto first = pnp.find('\\');
    auto second = first == std::string::npos ? first : pnp.find('\\', first + 1);
    if (second != std::string::npos && pnp.find('\\', second + 1) == std::string::npos &&
        pnp.find('#') == std::string::npos) {
        path += Lower(pnp.substr(0, first)) + "#" +
                Lower(pnp.substr(first + 1, second - first - 1)) + "#" + pnp.substr(second + 1);
    } else {
        path += "usb#" + Lower(device.vendor) + "&" + Lower(device.product) + "#" + device.instance;
    }
    path += "#";
    path += kStillImageClassGuid;
    return path;
}

std::vector<std::string> StillImageInterfacePaths() {
    std::vector<std::string> out;
    for (const auto& d : ListStillImageDevices()) out.push_back(InterfacePath(d));
    return out;
}

std::vector<std::string> DeviceInstances(const std::string& vendor, const std::string& product) {
    std::vector<std::string> out;
    for (const auto& d : ListUsbStillImageDevices())
        if (EqualsNoCase(d.vendor, vendor) && EqualsNoCase(d.product, product))
            out.push_back(d.instance);
    for (const auto& r : ReadRegistrations(kvx::VirtualDeviceFolder()))
        if (EqualsNoCase(r.vendor, vendor) && EqualsNoCase(r.product, product))
            out.push_back(r.instance);
    return out;
}

std::optional<std::string> LookupDriver(const std::string& vendor, const std::string& product,
                                        const std::string& instance) {
    for (const auto& d : ListUsbStillImageDevices())
        if (EqualsNoCase(d.vendor, vendor) && EqualsNoCase(d.product, product) &&
            EqualsNoCase(d.instance, instance))
            return d.driver;
    for (const auto& r : ReadRegistrations(kvx::VirtualDeviceFolder()))
        if (EqualsNoCase(r.vendor, vendor) && EqualsNoCase(r.product, product) &&
            EqualsNoCase(r.instance, instance))
            return r.driver;
    return std::nullopt;
}

}  // namespace kvx::device
