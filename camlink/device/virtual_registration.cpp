#include "camlink/device/virtual_registration.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kvx::device {

namespace fs = std::filesystem;

std::string FormatRegistration(const VirtualRegistration& r) {
    std::ostringstream o;
    o << "vendor=" << r.vendor << "\n"
      << "product=" << r.product << "\n"
      << "instance=" << r.instance << "\n"
      << "driver=" << r.driver << "\n"
      << "deviceId=" << r.deviceId << "\n";
    if (r.name) o << "name=" << *r.name << "\n";
    o << "description=" << r.description << "\n";
    char type[16];
    std::snprintf(type, sizeof type, "0x%08X", r.type);
    o << "type=" << type << "\n"
      << "port=" << r.port << "\n";
    if (r.pnpId) o << "pnpId=" << *r.pnpId << "\n";
    o << "socket=" << r.socket << "\n";
    return o.str();
}

std::optional<VirtualRegistration> ParseRegistration(const std::string& text) {
    VirtualRegistration r;
    std::istringstream in(text);
    std::string line;
    bool haveDeviceId = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "vendor") r.vendor = value;
        else if (key == "product") r.product = value;
        else if (key == "instance") r.instance = value;
        else if (key == "driver") r.driver = value;
        else if (key == "deviceId") { r.deviceId = value; haveDeviceId = true; }
        else if (key == "name") r.name = value;
        else if (key == "description") r.description = value;
        else if (key == "type") r.type = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 0));
        else if (key == "port") r.port = value;
        else if (key == "pnpId") r.pnpId = value;
        else if (key == "socket") r.socket = value;
    }
    if (r.instance.empty() || r.socket.empty()) return std::nullopt;
    if (!haveDeviceId) r.deviceId = r.driver;
    return r;
}

bool WriteRegistration(const std::string& dir, const VirtualRegistration& r) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    fs::path final = fs::path(dir) / (r.instance + ".device");
    // A leading dot keeps watchers from reading the file before the rename.
    fs::path tmp = fs::path(dir) / ("." + r.instance + ".device.tmp" + std::to_string(::getpid()));
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << FormatRegistration(r);
        if (!out.flush()) return false;
    }
    fs::rename(tmp, final, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

bool RemoveRegistration(const std::string& dir, const std::string& instance) {
    std::error_code ec;
    return fs::remove(fs::path(dir) / (instance + ".device"), ec);
}

std::vector<VirtualRegistration> ReadRegistrations(const std::string& dir) {
    std::vector<VirtualRegistration> out;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        std::string name = p.filename().string();
        if (name.empty() || name[0] == '.' || p.extension() != ".device") continue;
        files.push_back(p);
    }
    std::sort(files.begin(), files.end());
    for (const auto& p : files) {
        std::ifstream in(p, std::ios::binary);
        if (!in) continue;
        std::stringstream ss;
        ss << in.rdbuf();
        if (auto r = ParseRegistration(ss.str())) {
            r->file = p.string();
            out.push_back(std::move(*r));
        }
    }
    return out;
}

}  // namespace kvx::device
