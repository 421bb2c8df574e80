// What a status poll costs the window thread: all six data groups of a
// camera whose settings alternate between two states, merged and dispatched
// into the six panels, against the cheapest thing the window thread does,
// an empty posted event delivered to an object.
//   ratio_vs_empty_event  one full update (with the events it posts delivered)
//                         / one empty event round trip
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <chrono>

#include "tests/ui_panels/panel_rig.h"
#include "vcam/virtual_camera.h"

namespace {

class Sink : public QObject {
public:
    int events = 0;
    bool event(QEvent*) override {
        ++events;
        return true;
    }
};

double EmptyRoundTripNs(int rounds) {
    Sink sink;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::postEvent(&sink, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&sink);
    }
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(sink.events);
    return std::chrono::duration<double, std::nano>(end - start).count() / rounds;
}

void BM_FullStatusUpdate(benchmark::State& state) {
    kvx::test::PanelRig rig;
    rig.ConnectToVirtualCamera();
    // Two camera states: every group's record as the camera holds it, then
    // with a few dials turned.
    std::vector<std::vector<uint8_t>> a, b;
    kvx::vcam::VirtualCamera cam;
    for (int g = 1; g <= 6; ++g) a.push_back(cam.DataGroupRecord(g));
    cam.SetDataGroupFieldOnBody(1, 0x01, 0, {72});
    cam.SetDataGroupFieldOnBody(2, 0x08, 0, {4});
    cam.SetDataGroupFieldOnBody(2, 0, 0x20, {3});
    cam.SetDataGroupFieldOnBody(3, 0x01, 0, {4});
    for (int g = 1; g <= 6; ++g) b.push_back(cam.DataGroupRecord(g));
    bool flip = false;
    const auto start = std::chrono::steady_clock::now();
    int64_t updates = 0;
    for (auto _ : state) {
        const auto& records = flip ? b : a;
        for (int g = 1; g <= 6; ++g) rig.FeedDataGroup(g, records[g - 1]);
        // What the update leaves for the event loop belongs to its cost.
        QCoreApplication::sendPostedEvents();
        flip = !flip;
        ++updates;
    }
    const auto end = std::chrono::steady_clock::now();
    const double update_ns = std::chrono::duration<double, std::nano>(end - start).count() /
                             static_cast<double>(std::max<int64_t>(updates, 1));
    state.counters["ratio_vs_empty_event"] = update_ns / EmptyRoundTripNs(20000);
    if (!rig.sink.commands.empty()) state.SkipWithError("a camera report was sent back");
}
BENCHMARK(BM_FullStatusUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
