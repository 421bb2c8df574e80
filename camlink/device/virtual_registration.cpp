#include "camlink/device/virtual_registration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

namespace {

// A registration is a few hundred bytes. Any process of the user can put
// anything under a registration name: a pipe (whose open or read would
// wait for a writer forever), a device such as /dev/zero (endless), a
// folder or a huge file. Only a regular file of a sensible size is read,
// and the open never waits.
constexpr off_t kMaxRegistrationBytes = 64 * 1024;

bool ReadSmallFile(const fs::path& path, std::string* text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxRegistrationBytes;
    if (ok) {
        text->resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < text->size()) {
            const ssize_t n = ::read(fd, text->data() + got, text->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        text->resize(got);  // a file that shrank meanwhile: what was there
    }
    ::close(fd);
    return ok;
}

}  // namespace

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
        std::string text;
        if (!ReadSmallFile(p, &text)) continue;
        if (auto r = ParseRegistration(text)) {
            r->file = p.string();
            out.push_back(std::move(*r));
        }
    }
    return out;
}

}  // namespace kvx::device
