#include "camlink/device/usb_devices.h"

#include <libusb.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kvx::device {

namespace {

std::string ReadSysfsText(const std::string& dir, const char* name) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    if (!in) return {};
    std::string text;
    std::getline(in, text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.size() > 255) text.resize(255);
    return text;
}

std::string PortText(uint8_t bus, const std::vector<uint8_t>& ports) {
    std::string s = std::to_string(bus) + "-";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i) s += ".";
        s += std::to_string(ports[i]);
    }
    return s;
}

// Instance ids end up between '#' characters of an interface path: keep them
// to characters that cannot break that form.
bool UsableInstance(const std::string& s) {
    if (s.empty() || s.size() > 64) return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && c != '_' && c != '-' && c != '.' && c != '&') return false;
    return true;
}

bool HasStillImageInterface(libusb_device* dev, const libusb_device_descriptor& dd) {
    if (dd.bDeviceClass == LIBUSB_CLASS_IMAGE) return true;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(dev, &config) != 0 || !config) return false;
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        const libusb_interface& itf = config->interface[i];
        for (int a = 0; a < itf.num_altsetting && !found; ++a)
            found = itf.altsetting[a].bInterfaceClass == LIBUSB_CLASS_IMAGE;
    }
    libusb_free_config_descriptor(config);
    return found;
}

}  // namespace

std::vector<DeviceInfo> ListUsbStillImageDevices() {
    std::vector<DeviceInfo> out;
    if (const char* usb = std::getenv("KVX_DEVICE_USB"); usb && std::string(usb) == "0") return out;
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) != 0) return out;
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(ctx, &list);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device* dev = list[i];
        libusb_device_descriptor dd{};
        if (libusb_get_device_descriptor(dev, &dd) != 0) continue;
        if (!HasStillImageInterface(dev, dd)) continue;

        DeviceInfo d;
        d.kind = DeviceKind::Usb;
        d.bus = libusb_get_bus_number(dev);
        uint8_t ports[8];
        int np = libusb_get_port_numbers(dev, ports, sizeof ports);
        for (int p = 0; p < np; ++p) d.ports.push_back(ports[p]);
        char id[16];
        std::snprintf(id, sizeof id, "VID_%04X", dd.idVendor);
        d.vendor = id;
        std::snprintf(id, sizeof id, "PID_%04X", dd.idProduct);
        d.product = id;

        const std::string where = PortText(d.bus, d.ports);
        const std::string sysfs = "/sys/bus/usb/devices/" + where;
        std::string serial = ReadSysfsText(sysfs, "serial");
        d.instance = UsableInstance(serial) ? serial : "PORT_" + where;
        d.driver = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\USB" + where;

        std::string product = ReadSysfsText(sysfs, "product");
        if (product.empty()) {
            char fallback[48];
            std::snprintf(fallback, sizeof fallback, "USB camera %04X:%04X", dd.idVendor,
                          dd.idProduct);
            product = fallback;
        }
        d.properties.deviceId = d.driver;
        d.properties.name = product;
        d.properties.description = ReadSysfsText(sysfs, "manufacturer");
        d.properties.type = kDeviceTypeDigitalCamera;
        d.properties.port = "usb:" + where;
        d.properties.pnpId = "USB\\" + d.vendor + "&" + d.product + "\\" + d.instance;
        out.push_back(std::move(d));
    }
    if (list) libusb_free_device_list(list, 1);
    libusb_exit(ctx);
    return out;
}

}  // namespace kvx::device
