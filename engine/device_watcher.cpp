#include "engine/device_watcher.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "camlink/device/registration_liveness.h"
#include "log/write_log.h"

#if __has_include(<libusb-1.0/libusb.h>)
#include <libusb-1.0/libusb.h>
#define KVX_HAVE_LIBUSB_HEADER 1
#endif

namespace kvx::engine {

namespace {

// A registration counts once it has its final name; the writer's temporary
// files start with a dot.
bool IsRegistrationName(const char* name) {
    size_t n = std::strlen(name);
    return n > 7 && name[0] != '.' && std::strcmp(name + n - 7, ".device") == 0;
}

#ifdef KVX_HAVE_LIBUSB_HEADER
// libusb is loaded at run time, so the watcher works (without USB) where the
// library is missing and no build target has to link it for us.
struct UsbApi {
    void* lib = nullptr;
    decltype(&libusb_init) init = nullptr;
    decltype(&libusb_exit) exit = nullptr;
    decltype(&libusb_has_capability) hasCapability = nullptr;
    decltype(&libusb_hotplug_register_callback) registerCallback = nullptr;
    decltype(&libusb_hotplug_deregister_callback) deregisterCallback = nullptr;
    decltype(&libusb_handle_events_timeout_completed) handleEvents = nullptr;
    decltype(&libusb_get_bus_number) busNumber = nullptr;
    decltype(&libusb_get_device_address) deviceAddress = nullptr;

    bool Load() {
        if (lib) return true;
        lib = ::dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return false;
        init = reinterpret_cast<decltype(init)>(::dlsym(lib, "libusb_init"));
        exit = reinterpret_cast<decltype(exit)>(::dlsym(lib, "libusb_exit"));
        hasCapability =
            reinterpret_cast<decltype(hasCapability)>(::dlsym(lib, "libusb_has_capability"));
        registerCallback = reinterpret_cast<decltype(registerCallback)>(
            ::dlsym(lib, "libusb_hotplug_register_callback"));
        deregisterCallback = reinterpret_cast<decltype(deregisterCallback)>(
            ::dlsym(lib, "libusb_hotplug_deregister_callback"));
        handleEvents = reinterpret_cast<decltype(handleEvents)>(
            ::dlsym(lib, "libusb_handle_events_timeout_completed"));
        busNumber = reinterpret_cast<decltype(busNumber)>(::dlsym(lib, "libusb_get_bus_number"));
        deviceAddress =
            reinterpret_cast<decltype(deviceAddress)>(::dlsym(lib, "libusb_get_device_address"));
        if (!init || !exit || !hasCapability || !registerCallback || !deregisterCallback ||
            !handleEvents || !busNumber || !deviceAddress) {
            ::dlclose(lib);
            lib = nullptr;
            return false;
        }
        return true;
    }
};

UsbApi& Usb() {
    static UsbApi api;
    return api;
}
#endif

}  // namespace

struct UsbHotplugBridge {
#ifdef KVX_HAVE_LIBUSB_HEADER
    static int LIBUSB_CALL OnHotplug(libusb_context*, libusb_device* dev,
                                     libusb_hotplug_event event, void* self) {
        auto* w = static_cast<DeviceWatcher*>(self);
        std::string name = "usb:" + std::to_string(Usb().busNumber(dev)) + "-" +
                           std::to_string(Usb().deviceAddress(dev));
        w->Deliver(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? kDbtDeviceArrival
                                                                : kDbtDeviceRemoveComplete,
                   name);
        return 0;  // stay registered
    }
#endif
};

DeviceWatcher::DeviceWatcher(std::string folder) : folder_(std::move(folder)) {}

DeviceWatcher::~DeviceWatcher() {
    Stop();
}

bool DeviceWatcher::AddFolderWatch() {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    watch_ = ::inotify_add_watch(inotifyFd_, folder_.c_str(),
                                 IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    if (watch_ < 0) {
        // Retried every second while the folder is missing: said once, not each time.
        if (!watchFailureLogged_)
            WriteLog(1, "+++ Could not watch %s errno=%d at %s +++", folder_.c_str(), errno,
                     "DeviceWatcher::AddFolderWatch");
        watchFailureLogged_ = true;
        return false;
    }
    watchFailureLogged_ = false;
    return true;
}

void DeviceWatcher::SweepDeadRegistrations() {
    // A camera that was killed leaves its registration behind and no removal
    // is ever noticed. Taking such a registration out of the folder makes
    // the removal that never came: the loop below reports it like any other.
    std::vector<std::string> removed;
    kvx::device::ReadLiveRegistrations(folder_, &removed);
    for (const auto& file : removed)
        WriteLog(3, "--- %s: camera gone without unregistering, registration removed ---",
                 file.c_str());
}

bool DeviceWatcher::StartUsb() {
#ifdef KVX_HAVE_LIBUSB_HEADER
    if (!Usb().Load()) return false;
    libusb_context* ctx = nullptr;
    if (Usb().init(&ctx) != 0) return false;
    if (!Usb().hasCapability(LIBUSB_CAP_HAS_HOTPLUG)) {
        Usb().exit(ctx);
        return false;
    }
    libusb_hotplug_callback_handle handle = 0;
    int rc = Usb().registerCallback(
        ctx,
        static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                          LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
        static_cast<libusb_hotplug_flag>(0), kCameraVendorId, LIBUSB_HOTPLUG_MATCH_ANY,
        LIBUSB_HOTPLUG_MATCH_ANY, &UsbHotplugBridge::OnHotplug, this, &handle);
    if (rc != 0) {
        Usb().exit(ctx);
        return false;
    }
    usbContext_ = ctx;
    usbHandle_ = handle;
    return true;
#else
    return false;
#endif
}

void DeviceWatcher::StopUsb() {
#ifdef KVX_HAVE_LIBUSB_HEADER
    if (!usbContext_) return;
    auto* ctx = static_cast<libusb_context*>(usbContext_);
    Usb().deregisterCallback(ctx, usbHandle_);
    Usb().exit(ctx);
    usbContext_ = nullptr;
#endif
}

bool DeviceWatcher::Start(Callback deliver) {
    if (running_.load()) return true;
    {
        std::lock_guard g(deliverMutex_);
        deliver_ = std::move(deliver);
    }
    stop_ = false;
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    bool folderOk = inotifyFd_ >= 0 && AddFolderWatch();
    usbHotplug_ = StartUsb();
    if ((!folderOk && !usbHotplug_) || wakeFd_ < 0) {
        StopUsb();
        if (inotifyFd_ >= 0) ::close(inotifyFd_);
        if (wakeFd_ >= 0) ::close(wakeFd_);
        inotifyFd_ = wakeFd_ = watch_ = -1;
        return false;
    }
    running_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DeviceWatcher::Stop() {
    if (!running_.load()) return;
    stop_ = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    StopUsb();
    ::close(inotifyFd_);
    ::close(wakeFd_);
    inotifyFd_ = wakeFd_ = watch_ = -1;
    {
        std::lock_guard g(deliverMutex_);
        deliver_ = nullptr;
    }
    running_ = false;
}

void DeviceWatcher::Deliver(uint32_t type, const std::string& name) {
    if (stop_.load()) return;
    std::lock_guard g(deliverMutex_);
    if (deliver_) deliver_(DeviceEvent{type, DeviceBroadcast{kDbtDevTypDeviceInterface, name}});
}

void DeviceWatcher::Run() {
    // inotify records are variable-sized; this buffer holds many of them, and
    // the loop below never reads past the bytes that read() returned.
    alignas(inotify_event) char buffer[16 * 1024];
    auto nextSweep = std::chrono::steady_clock::now();
    while (!stop_.load()) {
        if (std::chrono::steady_clock::now() >= nextSweep) {
            SweepDeadRegistrations();
            nextSweep = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSweepMs);
        }
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
        // With USB hotplug the loop also has to give libusb its turn.
        int timeout = usbContext_ ? 100 : 1000;
        int rc = ::poll(fds, 2, timeout);
        if (stop_.load()) break;
#ifdef KVX_HAVE_LIBUSB_HEADER
        if (usbContext_) {
            timeval zero{0, 0};
            Usb().handleEvents(static_cast<libusb_context*>(usbContext_), &zero, nullptr);
        }
#endif
        if (rc <= 0 || !(fds[1].revents & POLLIN)) {
            // The folder may have been removed and not yet re-created by a
            // camera: keep trying to watch it again.
            if (watch_ < 0 && inotifyFd_ >= 0 && AddFolderWatch()) Deliver(kDbtDeviceArrival, "");
            continue;
        }
        ssize_t n = ::read(inotifyFd_, buffer, sizeof buffer);
        if (n <= 0) continue;
        size_t off = 0;
        while (off + sizeof(inotify_event) <= static_cast<size_t>(n)) {
            auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
            size_t size = sizeof(inotify_event) + ev->len;
            if (off + size > static_cast<size_t>(n)) break;
            off += size;
            if (ev->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                // The folder went away with whatever was registered in it.
                if (ev->wd != watch_) continue;  // late notice about a dropped watch
                ::inotify_rm_watch(inotifyFd_, watch_);
                watch_ = -1;
                if (!AddFolderWatch()) continue;
                Deliver(kDbtDeviceRemoveComplete, "");
                continue;
            }
            if (ev->len == 0) continue;
            char name[NAME_MAX + 1];
            size_t len = strnlen(ev->name, ev->len);
            if (len > NAME_MAX) continue;
            std::memcpy(name, ev->name, len);
            name[len] = '\0';
            if (!IsRegistrationName(name)) continue;
            if (ev->mask & (IN_CREATE | IN_MOVED_TO))
                Deliver(kDbtDeviceArrival, name);
            else if (ev->mask & (IN_DELETE | IN_MOVED_FROM))
                Deliver(kDbtDeviceRemoveComplete, name);
        }
    }
}

}  // namespace kvx::engine
