// How a virtual camera announces itself in the virtual device folder
// ($KVX_DEVICE_DIR). Plugged in = "<instance>.device" exists beside its
// socket; unplugged = the file is gone. The file is "key=value" lines:
//
//   vendor=VID_4E7A          USB vendor id text
//   product=PID_5E30         USB product id text (model code 130; 5D10/5D20 are 110)
//   instance=KVX00001        device instance id (the registry key name below VID&PID)
//   driver={6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001
//                            the "Driver" value of that instance = the device id
//   deviceId=...             device id property (normally equal to driver)
//   name=Varno Camera        device name property (may be absent = not a string)
//   description=...          device description property
//   type=0x00020000          device type property
//   port=...                 port name property
//   pnpId=USB\VID_4E7A&PID_5E30\KVX00001   Plug and Play id property
//   socket=/path/to/sock     Unix stream socket speaking PTP USB containers
//
// Writers create the file under a temporary name and rename it into place,
// so readers never see half a registration.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvx::device {

struct VirtualRegistration {
    std::string vendor = "VID_4E7A";
    std::string product = "PID_5E30";
    std::string instance;
    std::string driver;
    std::string deviceId;
    std::optional<std::string> name;
    std::string description;
    uint32_t type = 0x00020000;
    std::string port;
    std::optional<std::string> pnpId;
    std::string socket;
    std::string file;  // path of the registration file it was read from
};

std::string FormatRegistration(const VirtualRegistration& r);
// Unknown keys are ignored; empty when the text lacks instance or socket.
std::optional<VirtualRegistration> ParseRegistration(const std::string& text);

// Writes "<dir>/<instance>.device" atomically; creates dir when missing.
bool WriteRegistration(const std::string& dir, const VirtualRegistration& r);
bool RemoveRegistration(const std::string& dir, const std::string& instance);
// Every readable registration in dir, sorted by file name (the enumeration order).
std::vector<VirtualRegistration> ReadRegistrations(const std::string& dir);

}  // namespace kvx::device
