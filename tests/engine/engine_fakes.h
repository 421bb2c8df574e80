// Scripted stand-ins for the camera link and the windows the engine talks to.
// All of them are called from the communication thread and inspected from
// the test thread, so every member sits behind a lock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/camera_link.h"
#include "engine/capture_steps.h"
#include "engine/main_window_port.h"
#include "engine/record_checksums.h"
#include "engine/record_table.h"
#include "engine/transfer_host.h"

namespace kvx::test {

using kvx::engine::HResult;
using kvx::engine::RecordId;

constexpr HResult kFail = static_cast<HResult>(0x80004005u);

// Waits (real time) until pred holds; false when it never did.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pred();
}

inline std::vector<uint8_t> ConfigRecord(uint16_t major, uint16_t minor, const char* name,
                                         bool versioned = true) {
    std::vector<uint8_t> c(53, 0);
    c[0] = 51;  // the camera's checksum sits in the last byte, 52
    c[1] = versioned ? 0x40 : 0x00;
    std::strncpy(reinterpret_cast<char*>(c.data() + 2), name, 45);
    c[48] = static_cast<uint8_t>(major);
    c[49] = static_cast<uint8_t>(major >> 8);
    c[50] = static_cast<uint8_t>(minor);
    c[51] = static_cast<uint8_t>(minor >> 8);
    c[52] = kvx::engine::ByteSum(c.data(), 51);
    return c;
}

inline std::vector<uint8_t> StatusRecord(int16_t state, uint16_t flags, uint32_t bits) {
    std::vector<uint8_t> s(10, 0);
    s[0] = 8;
    s[1] = static_cast<uint8_t>(state);
    s[2] = static_cast<uint8_t>(static_cast<uint16_t>(state) >> 8);
    s[3] = static_cast<uint8_t>(flags);
    s[4] = static_cast<uint8_t>(flags >> 8);
    for (int i = 0; i < 4; ++i) s[5 + i] = static_cast<uint8_t>(bits >> (8 * i));
    s[9] = kvx::engine::ByteSum(s.data(), 8);
    return s;
}

// A data group record with the given Field1/Field2 and packed values.
inline std::vector<uint8_t> DataGroupRecord(size_t size, uint8_t f1, uint8_t f2,
                                            std::vector<uint8_t> values) {
    std::vector<uint8_t> r(size, 0);
    // The checksum at L + 2 follows the values directly.
    r[0] = static_cast<uint8_t>(values.size() + 1);
    r[1] = f1;
    r[2] = f2;
    for (size_t i = 0; i < values.size() && 3 + i < size; ++i) r[3 + i] = values[i];
    size_t cs = static_cast<size_t>(r[0]) + 2;
    if (cs < size) r[cs] = kvx::engine::ByteSum(r.data(), cs);
    return r;
}

class FakeCameraLink final : public kvx::engine::ICameraLink {
public:
    struct SetCall {
        std::string what;  // "SetDataGroup1" ... "Snap", "ClockAdjust"
        std::vector<uint8_t> record;
    };

    // ---- script ----
    void SetConfig(std::vector<uint8_t> c) {
        Locked([&] { config_ = std::move(c); });
    }
    void FailConfig(bool fail) {
        Locked([&] { configFails_ = fail; });
    }
    void FailInit(int times) {
        Locked([&] { initFailures_ = times; });
    }
    // The status returned once no queued one is left.
    void SetStatus(std::vector<uint8_t> s) {
        Locked([&] { status_ = std::move(s); });
    }
    void QueueStatus(std::vector<uint8_t> s) {
        Locked([&] { statusQueue_.push_back(std::move(s)); });
    }
    void FailStatus(int times) {
        Locked([&] { statusFailures_ = times; });
    }
    void SetStatus2(std::vector<uint8_t> rec, uint32_t size) {
        Locked([&] {
            status2_ = std::move(rec);
            status2_.resize(3080, 0);
            status2Size_ = size;
        });
    }
    void QueueStatus2(std::vector<uint8_t> rec, uint32_t size) {
        Locked([&] {
            rec.resize(3080, 0);
            status2Queue_.push_back({std::move(rec), size});
        });
    }
    void SetRecord(RecordId id, std::vector<uint8_t> r) {
        Locked([&] { records_[id] = std::move(r); });
    }
    void FailRecord(RecordId id, HResult hr) {
        Locked([&] { recordFailures_[id] = hr; });
    }
    void SetWriteResult(HResult hr) {
        Locked([&] { writeResult_ = hr; });
    }
    // Runs (outside the fake's lock) at the start of every call, by name.
    void OnCall(std::function<void(const std::string&)> hook) {
        Locked([&] { hook_ = std::move(hook); });
    }

    // Runs (outside the fake's lock) after every write was recorded: the
    // test's stand-in for the camera taking the change.
    void OnWrite(std::function<void(const SetCall&)> hook) {
        Locked([&] { writeHook_ = std::move(hook); });
    }

    // ---- inspection ----
    std::vector<std::string> Calls() const {
        std::lock_guard g(m_);
        return calls_;
    }
    int CountCalls(const std::string& name) const {
        std::lock_guard g(m_);
        int n = 0;
        for (const auto& c : calls_) n += c == name;
        return n;
    }
    std::vector<SetCall> Sets() const {
        std::lock_guard g(m_);
        return sets_;
    }
    void ClearCalls() {
        std::lock_guard g(m_);
        calls_.clear();
    }

    // ---- ICameraLink ----
    HResult InitPTPMode() override {
        Called("InitPTPMode");
        std::lock_guard g(m_);
        if (initFailures_ > 0) {
            --initFailures_;
            return kFail;
        }
        return 0;
    }
    HResult ReleaseDevInfo() override { return Called("ReleaseDevInfo"), 0; }
    HResult GetActiveDriverInstance(char* out, int32_t) override {
        Called("GetActiveDriverInstance");
        out[0] = 0;
        return 1;
    }
    HResult GetCamConfigEx(uint8_t* out) override {
        Called("GetCamConfigEx");
        std::lock_guard g(m_);
        if (configFails_) return kFail;
        std::memcpy(out, config_.data(), 53);
        return 0;
    }
    HResult GetCamStatus(uint8_t* out) override {
        Called("GetCamStatus");
        std::lock_guard g(m_);
        if (statusFailures_ > 0) {
            --statusFailures_;
            return kFail;
        }
        std::vector<uint8_t> s = status_;
        if (!statusQueue_.empty()) {
            s = statusQueue_.front();
            statusQueue_.pop_front();
        }
        std::memcpy(out, s.data(), 10);
        return 0;
    }
    HResult GetCamStatus2(uint8_t* out, uint32_t* size) override {
        Called("GetCamStatus2");
        std::lock_guard g(m_);
        if (statusFailures_ > 0) {
            --statusFailures_;
            *size = 0;
            return kFail;
        }
        std::vector<uint8_t> rec = status2_;
        uint32_t n = status2Size_;
        if (!status2Queue_.empty()) {
            rec = status2Queue_.front().first;
            n = status2Queue_.front().second;
            status2Queue_.pop_front();
        }
        *size = n;
        std::memcpy(out, rec.data(), 3080);
        return 0;
    }
    HResult GetDataGroup1(uint8_t* out) override {
        return Record("GetDataGroup1", RecordId::kDataGroup1, out);
    }
    HResult GetDataGroup2(uint8_t* out) override {
        return Record("GetDataGroup2", RecordId::kDataGroup2, out);
    }
    HResult GetDataGroup3(uint8_t* out) override {
        return Record("GetDataGroup3", RecordId::kDataGroup3, out);
    }
    HResult GetDataGroup4(uint8_t* out) override {
        return Record("GetDataGroup4", RecordId::kDataGroup4, out);
    }
    HResult GetDataGroup5(uint8_t* out) override {
        return Record("GetDataGroup5", RecordId::kDataGroup5, out);
    }
    HResult GetDataGroup6(uint8_t* out) override {
        return Record("GetDataGroup6", RecordId::kDataGroup6, out);
    }
    HResult GetCanSetInfo(uint8_t* out) override {
        return Record("GetCanSetInfo", RecordId::kCanSetInfo, out);
    }
    HResult GetCanSetInfo2(uint8_t* out) override {
        return Record("GetCanSetInfo2", RecordId::kCanSetInfo2, out);
    }
    HResult GetCanSetInfo3(uint8_t* out) override {
        return Record("GetCanSetInfo3", RecordId::kCanSetInfo3, out);
    }
    HResult GetCanSetInfo4(uint8_t* out) override {
        return Record("GetCanSetInfo4", RecordId::kCanSetInfo4, out);
    }
    HResult GetCaptureStatus(int32_t, uint8_t* out) override {
        Called("GetCaptureStatus");
        std::memset(out, 0, 8);
        return 0;
    }
    HResult GetPictFileInfo(KVX_PICT_FILE_ENTRY*, int32_t, uint32_t*, uint8_t**,
                            uint32_t*) override {
        return Called("GetPictFileInfo"), kFail;
    }
    HResult GetPictFileInfo2(KVX_PICT_FILE_ENTRY*, int32_t, uint32_t*, uint8_t*, uint8_t*,
                             uint8_t**, uint32_t*) override {
        return Called("GetPictFileInfo2"), kFail;
    }
    HResult GetBigPartialPictFile(uint32_t, uint32_t, uint32_t, uint8_t**, uint32_t*) override {
        return Called("GetBigPartialPictFile"), kFail;
    }
    HResult GetCamViewFrame(uint8_t**, uint32_t*) override {
        return Called("GetCamViewFrame"), kFail;
    }
    HResult ClearImageDBSignle(int32_t) override { return Called("ClearImageDBSignle"), 0; }
    HResult CloseApplication() override { return Called("CloseApplication"), 0; }
    HResult SetDataGroup1(uint8_t* r) override { return Write("SetDataGroup1", r, 22); }
    HResult SetDataGroup2(uint8_t* r) override { return Write("SetDataGroup2", r, 20); }
    HResult SetDataGroup3(uint8_t* r) override { return Write("SetDataGroup3", r, 21); }
    HResult SetDataGroup4(uint8_t* r) override { return Write("SetDataGroup4", r, 7); }
    HResult SetDataGroup5(uint8_t* r) override { return Write("SetDataGroup5", r, 34); }
    HResult SetDataGroup6(uint8_t* r) override { return Write("SetDataGroup6", r, 38); }
    HResult Snap(uint8_t* r) override { return Write("Snap", r, 4); }
    HResult ClockAdjust(uint8_t* r) override { return Write("ClockAdjust", r, 8); }

private:
    template <typename F>
    void Locked(F f) {
        std::lock_guard g(m_);
        f();
    }
    void Called(const std::string& name) {
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard g(m_);
            calls_.push_back(name);
            hook = hook_;
        }
        if (hook) hook(name);
    }
    HResult Record(const char* name, RecordId id, uint8_t* out) {
        Called(name);
        std::lock_guard g(m_);
        if (auto f = recordFailures_.find(id); f != recordFailures_.end()) return f->second;
        size_t size = kvx::engine::Info(id).size;
        std::vector<uint8_t> r = records_.count(id) ? records_[id] : std::vector<uint8_t>(size, 0);
        r.resize(size, 0);
        std::memcpy(out, r.data(), size);
        return 0;
    }
    // Reads exactly the bytes the real export sends, so a short request
    // buffer shows up under the sanitizers.
    HResult Write(const char* name, uint8_t* r, size_t n) {
        Called(name);
        std::function<void(const SetCall&)> hook;
        SetCall call{name, std::vector<uint8_t>(r, r + n)};
        HResult result;
        {
            std::lock_guard g(m_);
            sets_.push_back(call);
            hook = writeHook_;
            result = writeResult_;
        }
        if (hook) hook(call);
        return result;
    }

    mutable std::mutex m_;
    std::vector<std::string> calls_;
    std::vector<SetCall> sets_;
    std::vector<uint8_t> config_ = ConfigRecord(3, 0, "KV-3");
    bool configFails_ = false;
    int initFailures_ = 0;
    std::vector<uint8_t> status_ = StatusRecord(1, 0, 0);
    std::deque<std::vector<uint8_t>> statusQueue_;
    int statusFailures_ = 0;
    std::vector<uint8_t> status2_ = std::vector<uint8_t>(3080, 0);
    uint32_t status2Size_ = 30 + 8;
    std::deque<std::pair<std::vector<uint8_t>, uint32_t>> status2Queue_;
    std::map<RecordId, std::vector<uint8_t>> records_;
    std::map<RecordId, HResult> recordFailures_;
    HResult writeResult_ = 0;
    std::function<void(const std::string&)> hook_;
    std::function<void(const SetCall&)> writeHook_;
};

class FakeMainWindow final : public kvx::engine::IMainWindow {
public:
    struct Notice {
        int stringId;
        uint32_t autoCloseMs;
    };
    bool HasWindowHandle() const override { return hasWindow.load(); }
    bool IsMessageBoxOpen() const override { return boxOpen.load(); }
    uint32_t MessageBoxAutoCloseMs() const override { return boxAutoClose.load(); }
    void ShowMessageBox(int stringId, uint32_t autoCloseMs) override {
        std::lock_guard g(m_);
        notices_.push_back({stringId, autoCloseMs});
        if (openBoxOnShow.load()) boxOpen = true;
    }
    void EnableControls(bool enabled) override {
        std::lock_guard g(m_);
        enables_.push_back(enabled);
    }
    void ClearStatusLines() override { ++clears; }
    void ShowCameraLine(const std::string& name) override {
        std::lock_guard g(m_);
        cameraLine_ = name;
    }
    void ResetDisplay() override { ++resets; }
    void ResetPanelsForNewLink() override { ++panelResets; }

    std::vector<Notice> Notices() const {
        std::lock_guard g(m_);
        return notices_;
    }
    std::vector<bool> Enables() const {
        std::lock_guard g(m_);
        return enables_;
    }
    std::string CameraLine() const {
        std::lock_guard g(m_);
        return cameraLine_;
    }

    std::atomic<bool> hasWindow{true};
    std::atomic<bool> boxOpen{false};
    std::atomic<bool> openBoxOnShow{false};
    std::atomic<uint32_t> boxAutoClose{0};
    std::atomic<int> clears{0};
    std::atomic<int> resets{0};
    std::atomic<int> panelResets{0};

private:
    mutable std::mutex m_;
    std::vector<Notice> notices_;
    std::vector<bool> enables_;
    std::string cameraLine_;
};

// Records what the thread hands to the capture side; its two steps run a
// test-supplied body and by default return the state to polling.
class FakeCaptureSteps final : public kvx::engine::ICaptureSteps {
public:
    explicit FakeCaptureSteps(kvx::engine::ITransferHost& host) : host_(host) {}
    void OnUpdateCaptureStatus() override {
        ++captureStatusRuns;
        std::function<void()> body;
        {
            std::lock_guard g(m_);
            body = captureBody;
        }
        if (body) {
            body();
        } else {
            host_.SetCommStateIfRunning(kvx::engine::kCommPolling);
        }
    }
    void GetPictFileInfo() override {
        ++transferRuns;
        std::function<void()> body;
        {
            std::lock_guard g(m_);
            body = transferBody;
        }
        if (body) body();
        host_.SetCommStateIfRunning(kvx::engine::kCommPolling);
    }
    int PendingPictureCount() override { return pending.load(); }
    void ClearCaptureStatusTable() override {}
    void ClearLastCaptureStatus() override { ++lastStatusClears; }
    void SetPictureBits(uint32_t bits) override { lastBits = bits; }
    void SetPictureIdList(const uint16_t* ids, int count) override {
        std::lock_guard g(m_);
        idLists.emplace_back(ids, ids + count);
    }
    void SetCaptureBody(std::function<void()> f) {
        std::lock_guard g(m_);
        captureBody = std::move(f);
    }
    void SetTransferBody(std::function<void()> f) {
        std::lock_guard g(m_);
        transferBody = std::move(f);
    }
    std::vector<std::vector<uint16_t>> IdLists() const {
        std::lock_guard g(m_);
        return idLists;
    }

    std::atomic<int> captureStatusRuns{0};
    std::atomic<int> transferRuns{0};
    std::atomic<int> pending{0};
    std::atomic<uint32_t> lastBits{0};
    std::atomic<int> lastStatusClears{0};

private:
    kvx::engine::ITransferHost& host_;
    mutable std::mutex m_;
    std::function<void()> captureBody;
    std::function<void()> transferBody;
    std::vector<std::vector<uint16_t>> idLists;
};

}  // namespace kvx::test
