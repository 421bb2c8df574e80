// Tells the consuming thread when a still-image device appears or goes:
// a virtual camera's registration file arriving in or leaving the virtual
// device folder (inotify), and a USB device of the camera vendor arriving or
// leaving (libusb hotplug, when the platform offers it). A virtual camera
// that dies without unregistering (killed, crashed) is found by a sweep of the
// folder once a second and its registration removed, so that its removal is
// reported too instead of never. Events are handed to
// a callback on the watcher's own thread; the consumer posts them on to its
// thread (the window thread, or the command line's main loop).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvx::engine {

// The event codes and device type of the still-image interface notices.
constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceQueryRemoveFailed = 0x8003;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t kDbtDevTypDeviceInterface = 5;

struct DeviceBroadcast {
    uint32_t deviceType = kDbtDevTypDeviceInterface;
    std::string name;  // registration file name or "usb:<bus>-<address>"
};

struct DeviceEvent {
    uint32_t type = kDbtDeviceArrival;
    DeviceBroadcast data;
};

class DeviceWatcher {
public:
    using Callback = std::function<void(const DeviceEvent&)>;

    // USB vendor watched by the hotplug part.
    static constexpr int kCameraVendorId = 0x4E7A;
    // How often the folder is checked for registrations of cameras that died
    // without unregistering (their removal is then reported).
    static constexpr int kSweepMs = 1000;

    explicit DeviceWatcher(std::string folder);
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Creates the folder when missing and starts watching. False when
    // neither the folder nor USB can be watched. Idempotent while running.
    bool Start(Callback deliver);
    // Stops the thread and waits for it; no callback runs after it returns.
    void Stop();
    bool Running() const { return running_.load(); }
    bool WatchesUsb() const { return usbHotplug_; }
    const std::string& Folder() const { return folder_; }

private:
    void Run();
    bool AddFolderWatch();
    void SweepDeadRegistrations();
    void Deliver(uint32_t type, const std::string& name);
    bool StartUsb();
    void StopUsb();
    friend struct UsbHotplugBridge;

    std::string folder_;
    Callback deliver_;  // guarded by deliverMutex_
    // Held while deliver_ runs, so Stop never returns under a running
    // callback; the callback takes only leaf locks.
    std::mutex deliverMutex_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    int inotifyFd_ = -1;
    int watch_ = -1;
    int wakeFd_ = -1;
    void* usbContext_ = nullptr;
    int usbHandle_ = 0;
    bool usbHotplug_ = false;
    bool watchFailureLogged_ = false;
};

}  // namespace kvx::engine
