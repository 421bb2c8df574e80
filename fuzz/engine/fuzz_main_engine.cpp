// The real CMainEngine and its communication thread against a camera link
// whose configuration record, status records (both forms, status record 2
// with any reported size), data groups and settable-info records come from
// the fuzz input. A clock that never sleeps lets the thread run through its
// fixed waits at once. What must hold:
//  - the thread ends when asked, whatever the camera sent;
//  - the configuration record the engine keeps is the one the camera sent
//    last, and the camera name read from it stays inside it;
//  - a record fetched by its own call (protocol 3) is stored in the settings
//    model as the camera sent it, cut to the record's size;
//  - nothing reads or writes outside the records (the sanitizer build).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/main_engine.h"
#include "engine/message_port.h"
#include "engine/queued_message_port.h"
#include "engine/status_records.h"
#include "fuzz/common/byte_reader.h"
#include "fuzz/common/check_stats.h"
#include "fuzz/engine/fuzz_camera_link.h"
#include "model/camera.h"
#include "platform/clock.h"

using namespace kvx::engine;
using kvx::fuzz::ByteReader;

namespace {

// Time passes only when somebody looks or sleeps, and sleeping is free.
class RushingClock final : public kvx::Clock {
public:
    uint32_t NowMs() override { return now_.fetch_add(7) + 7; }
    void SleepMs(uint32_t ms) override {
        now_.fetch_add(ms);
        std::this_thread::yield();
    }

private:
    std::atomic<uint32_t> now_{1000};
};

class QuietWindow final : public IMainWindow {
public:
    bool HasWindowHandle() const override { return true; }
    bool IsMessageBoxOpen() const override { return false; }
    uint32_t MessageBoxAutoCloseMs() const override { return 0; }
    void ShowMessageBox(int, uint32_t) override {}
    void EnableControls(bool) override {}
    void ClearStatusLines() override {}
    void ShowCameraLine(const std::string& name) override { lastName = name; }
    void ResetDisplay() override {}
    void ResetPanelsForNewLink() override {}
    std::string lastName;
};

// The camera: every answer is the next piece of the input. Called on the
// communication thread only; the fuzz thread waits until the input is used
// up (or the link has been asked enough) and then stops the thread.
class InputCameraLink final : public kvx::fuzz::NullCameraLink {
public:
    static constexpr int kMaxCalls = 300;

    explicit InputCameraLink(ByteReader& in) : in_(in) {}

    HResult InitPTPMode() override { return Next() && in_.U8() == 0xEE ? KVX_E_FAIL : 0; }
    HResult ReleaseDevInfo() override { return 0; }
    HResult CloseApplication() override { return 0; }
    HResult SetDataGroup3(uint8_t*) override { return 0; }

    HResult GetCamConfigEx(uint8_t* out) override {
        // A fresh link: the engine clears what it received before it asks.
        direct.clear();
        if (!Next()) return KVX_E_FAIL;
        if (in_.U8() == 0xFF) return KVX_E_FAIL;
        Fill(out, kConfigRecordSize);
        lastConfig.assign(out, out + kConfigRecordSize);
        return 0;
    }
    HResult GetCamStatus(uint8_t* out) override {
        if (!Next() || in_.U8() == 0xFF) return KVX_E_FAIL;
        Fill(out, kStatusRecordSize);
        return 0;
    }
    HResult GetCamStatus2(uint8_t* out, uint32_t* size) override {
        if (!Next()) return KVX_E_FAIL;
        const uint8_t c = in_.U8();
        if (c == 0xFF) return KVX_E_FAIL;
        const size_t n = in_.U16() % (kStatusRecord2Size + 1);
        Fill(out, n);
        // What the library reports: the record plus its header, or anything.
        *size = (c & 1) ? in_.U32() : static_cast<uint32_t>(n + KVX_VENDOR_OUT_HEADER_SIZE);
        ++status2;
        return 0;
    }
    HResult GetDataGroup1(uint8_t* out) override { return Record(RecordId::kDataGroup1, out); }
    HResult GetDataGroup2(uint8_t* out) override { return Record(RecordId::kDataGroup2, out); }
    HResult GetDataGroup3(uint8_t* out) override { return Record(RecordId::kDataGroup3, out); }
    HResult GetDataGroup4(uint8_t* out) override { return Record(RecordId::kDataGroup4, out); }
    HResult GetDataGroup5(uint8_t* out) override { return Record(RecordId::kDataGroup5, out); }
    HResult GetDataGroup6(uint8_t* out) override { return Record(RecordId::kDataGroup6, out); }
    HResult GetCanSetInfo(uint8_t* out) override { return Record(RecordId::kCanSetInfo, out); }
    HResult GetCanSetInfo2(uint8_t* out) override { return Record(RecordId::kCanSetInfo2, out); }
    HResult GetCanSetInfo3(uint8_t* out) override { return Record(RecordId::kCanSetInfo3, out); }
    HResult GetCanSetInfo4(uint8_t* out) override { return Record(RecordId::kCanSetInfo4, out); }

    // Waits until the camera has nothing more to say, or the thread ended
    // by itself (a camera it does not support, a link that never opened).
    template <typename Ended>
    void WaitUntilSpent(Ended ended) {
        std::unique_lock lock(m_);
        while (!spent_ && !ended()) cv_.wait_for(lock, std::chrono::milliseconds(1));
    }

    std::vector<uint8_t> lastConfig;
    std::map<RecordId, std::vector<uint8_t>>
        direct;  // fetched by its own call since the last clear
    int status2 = 0;

private:
    // False once the input or the call budget is used up.
    bool Next() {
        if (++calls_ <= kMaxCalls && !in_.Empty()) return true;
        std::lock_guard lock(m_);
        spent_ = true;
        cv_.notify_all();
        return false;
    }
    void Fill(uint8_t* out, size_t n) {
        size_t got = 0;
        const uint8_t* p = in_.Take(n, &got);
        std::memcpy(out, p, got);
        std::memset(out + got, 0, n - got);
    }
    HResult Record(RecordId id, uint8_t* out) {
        if (!Next() || in_.U8() == 0xFF) return KVX_E_FAIL;
        const size_t n = Info(id).size;
        Fill(out, n);
        direct[id].assign(out, out + n);
        return 0;
    }

    ByteReader& in_;
    int calls_ = 0;
    std::mutex m_;
    std::condition_variable cv_;
    bool spent_ = false;
};

}  // namespace

// The whole fields of a data group record by index, as the merge reads them.
static std::map<int, std::vector<uint8_t>> WholeFields(int group, const uint8_t* rx, size_t size) {
    std::map<int, std::vector<uint8_t>> out;
    if (size < 3) return out;
    size_t pos = 3;
    for (int index = 0; index < 16; ++index) {
        const uint8_t mask = index < 8 ? rx[1] : rx[2];
        if ((mask & (1u << (index % 8))) == 0) continue;
        const VARNO::tag_FIELD_LAYOUT* f = VARNO::DataGroupField(group, index);
        if (f == nullptr || pos + f->width > size) break;
        out[index].assign(rx + pos, rx + pos + f->width);
        pos += f->width;
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool clockSet = [] {
        kvx::SetClock(std::make_shared<RushingClock>());
        return true;
    }();
    (void)clockSet;
    static kvx::fuzz::CheckStats stats{
        "main_engine", {}, {"inputs", "configs", "linked", "status2", "direct_records"}};
    ++stats.counts[0];

    ByteReader in(data, size);
    InputCameraLink link(in);
    QueuedMessagePort port;
    port.Register(VARNO::kTargetMainWindow);
    QuietWindow window;
    VARNO::CCamera camera;
    {
        CMainEngine engine(link, port, window, camera);
        CMainEngine::ResetStatusFailureCount();
        if (!engine.StartCommThread()) return 0;
        link.WaitUntilSpent([&] { return !engine.ThreadRunning(); });
        engine.StopCommThread();
        KVX_FUZZ_CHECK(!engine.ThreadRunning());

        // The configuration record kept is the camera's last one.
        if (!link.lastConfig.empty()) {
            ++stats.counts[1];
            const auto kept = engine.ConfigRecord();
            KVX_FUZZ_CHECK(std::memcmp(kept.data(), link.lastConfig.data(), kConfigRecordSize) ==
                           0);
            const std::string name = engine.CameraName();
            KVX_FUZZ_CHECK(name.size() < kConfigRecordSize);
            KVX_FUZZ_CHECK(name.find('\0') == std::string::npos);
        }
        if (!window.lastName.empty()) ++stats.counts[2];
        if (link.status2 > 0) ++stats.counts[3];
    }

    // Records fetched by their own call, with no status record 2 after them
    // that could have brought a newer one: stored as sent.
    if (link.status2 == 0) {
        for (const auto& [id, bytes] : link.direct) {
            uint8_t stored[kLargestRecord] = {};
            const int i = static_cast<int>(id);
            const bool group = id >= RecordId::kDataGroup1;
            const int number = group ? i - static_cast<int>(RecordId::kDataGroup1) + 1 : i + 1;
            const size_t n = group ? camera.ReceivedDataGroup(number, stored, sizeof stored)
                                   : camera.ReceivedCanSetInfo(number, stored, sizeof stored);
            // Nothing merges here, so a data group fetched while an earlier
            // record waits is laid over it: every whole field of the last
            // fetch is in the stored record with its bytes.
            if (group && camera.ReceivedDataGroupPending(number)) {
                const auto sent = WholeFields(number, bytes.data(), bytes.size());
                const auto kept = WholeFields(number, stored, n);
                for (const auto& [index, value] : sent) {
                    const auto it = kept.find(index);
                    KVX_FUZZ_CHECK(it != kept.end() && it->second == value);
                }
                ++stats.counts[4];
                continue;
            }
            KVX_FUZZ_CHECK(n <= bytes.size());
            KVX_FUZZ_CHECK(std::memcmp(stored, bytes.data(), n) == 0);
            ++stats.counts[4];
        }
    }
    return 0;
}
