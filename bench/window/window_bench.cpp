// The main window's own figures, each printed as a report:
//   stall    the longest gaps of a 16 ms timer on the window thread while a
//            virtual camera is plugged in, delivers 20 pictures of 25 MB and
//            is unplugged (maximum and 99th percentile, per phase), against
//            the same timer on the idle window;
//   startup  the program's start-up to its first painted main window against
//            the command line's device list (the flow without a window) and
//            against the program answering --version, run alternately, as
//            ratios (median and range);
//   plug     100 plug/unplug cycles with the window open: open descriptors,
//            threads and resident memory at cycles 0, 50 and 100.
// Usage: bench_window [stall|startup|plug]... (none: all three). Runs on
// Qt's offscreen platform unless QT_QPA_PLATFORM names another. Exit status
// 1 when a run could not finish (a picture that never came, a link that
// never came back) or descriptors or threads grew between cycles 50 and 100.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/kolvex_app.h"
#include "tests/ui/main_dlg_bench.h"
#include "tests/ui/process_counts.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using kvx::test::MainDlgBench;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * (v.size() - 1) + 0.5));
    return v[i];
}

// ---------------------------------------------------------------- stall ---

// Waits (off the window thread) until flag holds or the time is up.
bool WaitFor(const std::atomic<bool>& flag, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!flag.load()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool RunStall() {
    constexpr int kPictures = 20;
    constexpr uint64_t kPictureBytes = 25'000'000;
    MainDlgBench b;
    if (!b.SetUp("kvx-bench-stall")) return false;
    kvx::vcam::VirtualCameraOptions o;
    o.deviceDir = (b.root / "devices").string();
    o.pictureBytes = kPictureBytes;
    b.camera = std::make_unique<kvx::vcam::VirtualCamera>(o);  // not plugged in yet

    // Real time: the engine's waits are as long as in the program.
    auto wo = b.WindowOptions();
    wo.clock = nullptr;
    b.window = std::make_unique<kvx::ui::CMainDlg>(wo);
    b.window->show();
    b.window->Start();

    enum Phase { kIdle, kConnect, kDownload, kUnplug, kPhases };
    const char* kPhaseNames[] = {"idle window, no camera", "plug in and connect",
                                 "20 pictures of 25 MB", "unplug"};
    std::atomic<int> phase{kIdle};
    std::atomic<bool> connected{false}, disconnected{false}, done{false}, ok{true};
    std::vector<double> gaps[kPhases];
    std::string failure;

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(16);
    Clock::time_point last = Clock::now();
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        gaps[phase.load()].push_back(Ms(now - last));
        last = now;
        auto& s = b.window->Session();
        connected = s.Linked() && s.SettingsComplete() && b.window->ControlsEnabled();
        disconnected = !s.ThreadRunning() && !b.window->ControlsEnabled();
        if (done) loop.quit();
    });

    std::thread driver([&] {
        auto fail = [&](std::string why) {
            failure = std::move(why);
            ok = false;
            done = true;
        };
        std::this_thread::sleep_for(std::chrono::seconds(3));
        phase = kConnect;
        if (!b.camera->Start()) return fail("the camera could not be plugged in");
        if (!WaitFor(connected, 60)) return fail("the window never connected");
        phase = kDownload;
        for (int n = 1; n <= kPictures; ++n) {
            if (b.camera->TakePictureOnBody(2).empty())
                return fail("the camera took no picture " + std::to_string(n));
            const auto files = b.camera->ExpectedFiles(static_cast<uint32_t>(n));
            const auto end = Clock::now() + std::chrono::seconds(120);
            for (;;) {
                bool all = true;
                for (const auto& f : files) {
                    std::error_code ec;
                    all = all && fs::file_size(b.root / "pictures" / f.name, ec) == f.size && !ec;
                }
                if (all) break;
                if (Clock::now() > end) return fail("picture " + std::to_string(n) + " never came");
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        phase = kUnplug;
        disconnected = false;
        b.camera->Unplug();
        if (!WaitFor(disconnected, 60)) return fail("the window never noticed the unplug");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        done = true;
    });
    const auto started = Clock::now();
    tick.start();
    loop.exec();
    tick.stop();
    driver.join();
    const double total = Ms(Clock::now() - started);

    std::printf("== stall: a 16 ms timer on the window thread (real-time engine waits)\n");
    std::printf("%-26s %8s %10s %10s %10s\n", "phase", "ticks", "median ms", "p99 ms", "max ms");
    std::vector<double> busy;
    for (int p = 0; p < kPhases; ++p) {
        const auto& g = gaps[p];
        if (p != kIdle) busy.insert(busy.end(), g.begin(), g.end());
        std::printf("%-26s %8zu %10.1f %10.1f %10.1f\n", kPhaseNames[p], g.size(),
                    Percentile(g, 50), Percentile(g, 99),
                    g.empty() ? 0.0 : *std::max_element(g.begin(), g.end()));
    }
    std::printf("%-26s %8zu %10.1f %10.1f %10.1f\n", "camera plugged to unplugged", busy.size(),
                Percentile(busy, 50), Percentile(busy, 99),
                busy.empty() ? 0.0 : *std::max_element(busy.begin(), busy.end()));
    std::printf("run %.1f s, %d pictures of %llu bytes; goal: max under 50 ms\n", total / 1000,
                kPictures, static_cast<unsigned long long>(kPictureBytes));
    if (!ok) std::printf("FAILED: %s\n", failure.c_str());
    return ok;
}

// -------------------------------------------------------------- startup ---

std::string SelfFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// Starts argv with env and returns the time until a byte arrives on the
// pipe (waitForByte) or until it exits; -1 on failure.
double TimeChild(const std::vector<std::string>& args, std::vector<std::string> env,
                 bool waitForByte) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The write end as descriptor 3 in the child, without close-on-exec.
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    env.push_back("KVX_BENCH_PAINT_FD=3");
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    double result = -1;
    if (rc == 0) {
        if (waitForByte) {
            pollfd p{fds[0], POLLIN, 0};
            char c = 0;
            if (::poll(&p, 1, 60000) == 1 && ::read(fds[0], &c, 1) == 1)
                result = Ms(Clock::now() - start);
            int status = 0;
            ::waitpid(pid, &status, 0);
        } else {
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) result = Ms(Clock::now() - start);
        }
    }
    ::close(fds[0]);
    return result;
}

bool RunStartup() {
    constexpr int kPairs = 15;
    MainDlgBench b;
    if (!b.SetUp("kvx-bench-startup")) return false;
    b.StartCamera();
    const fs::path runtime = b.root / "runtime", data = b.root / "data";
    fs::create_directories(runtime);
    fs::create_directories(data);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("XDG_RUNTIME_DIR=", 0) == 0 || v.rfind("XDG_DATA_HOME=", 0) == 0 ||
            v.rfind("QT_QPA_PLATFORM=", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    env.push_back("XDG_DATA_HOME=" + data.string());
    env.push_back("QT_QPA_PLATFORM=" +
                  qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen").toStdString());
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string tether = SelfFolder() + "/kvx-tether";

    const std::string program = SelfFolder() + "/Varno_Kolvex";
    // The window; the command line's device list (the flow without a
    // window); the program itself answering --version (its libraries loaded,
    // no window made).
    std::vector<double> window, headless, bare, ratio, bareRatio;
    for (int i = 0; i < kPairs; ++i) {
        const double w = TimeChild({self, "startup-child"}, env, true);
        const double h = TimeChild({tether, "list"}, env, false);
        const double v = TimeChild({program, "--version"}, env, false);
        if (w < 0 || h < 0 || v < 0) {
            std::printf("FAILED: a start did not finish (window %.1f, list %.1f, --version %.1f)\n",
                        w, h, v);
            return false;
        }
        window.push_back(w);
        headless.push_back(h);
        bare.push_back(v);
        ratio.push_back(w / h);
        bareRatio.push_back(w / v);
    }
    auto show = [](const char* what, const std::vector<double>& v, const char* unit) {
        std::printf("%-46s median %7.2f%s  range %7.2f .. %7.2f%s\n", what, Percentile(v, 50), unit,
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()),
                    unit);
    };
    std::printf("== startup: %d alternating rounds, a virtual camera plugged in\n", kPairs);
    show("Varno_Kolvex start to first painted window", window, " ms");
    show("kvx-tether list, start to exit", headless, " ms");
    show("Varno_Kolvex --version, start to exit", bare, " ms");
    show("ratio window / kvx-tether list (per round)", ratio, "");
    show("ratio window / Varno_Kolvex --version", bareRatio, "");
    return true;
}

// The child: the program's own start-up (CKolvexApp), ended at the first
// paint of its main window.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && o->isWidgetType() &&
            qobject_cast<QMainWindow*>(static_cast<QWidget*>(o)->window())) {
            const char* fd = std::getenv("KVX_BENCH_PAINT_FD");
            if (fd) {
                const char c = 'p';
                (void)!::write(std::atoi(fd), &c, 1);
            }
            std::_Exit(0);
        }
        return false;
    }
};

int StartupChild(int argc, char** argv) {
    QApplication qt(argc, argv);
    FirstPaint filter;
    qt.installEventFilter(&filter);
    kvx::app::CKolvexApp app;
    app.InitInstance();
    return app.ExitInstance();
}

// ----------------------------------------------------------------- plug ---

bool RunPlug() {
    constexpr int kCycles = 100;
    MainDlgBench b;
    if (!b.SetUp("kvx-bench-plug")) return false;
    auto& cam = b.StartCamera();
    b.MakeWindow();
    b.window->show();
    b.window->Start();
    if (!b.WaitConnected()) {
        std::printf("FAILED: the window never connected\n");
        return false;
    }
    struct Sample {
        int cycle;
        kvx::test::ProcessCounts counts;
    };
    std::vector<Sample> samples;
    auto sample = [&](int cycle) {
        // Let deferred deletions run first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        samples.push_back({cycle, kvx::test::ProcessCounts::Now()});
    };
    sample(0);
    const auto start = Clock::now();
    for (int c = 1; c <= kCycles; ++c) {
        cam.Unplug();
        if (!MainDlgBench::Pump([&] {
                return !b.window->Session().ThreadRunning() && !b.window->ControlsEnabled();
            })) {
            std::printf("FAILED: cycle %d: the window never noticed the unplug\n", c);
            return false;
        }
        if (!cam.Plug() || !b.WaitConnected()) {
            std::printf("FAILED: cycle %d: no link after plugging in again\n", c);
            return false;
        }
        if (c % 10 == 0) sample(c);
    }
    std::printf("== plug: %d unplug/plug cycles with the window open (%.1f s)\n", kCycles,
                Ms(Clock::now() - start) / 1000);
    std::printf("%6s %6s %8s %10s\n", "cycle", "fds", "threads", "VmRSS kB");
    for (const auto& s : samples)
        std::printf("%6d %6zu %8zu %10ld\n", s.cycle, s.counts.fds, s.counts.threads,
                    s.counts.rssKb);
    const auto& at50 = samples[5].counts;
    const auto& at100 = samples.back().counts;
    const bool flat = at100.fds <= at50.fds && at100.threads <= at50.threads;
    if (!flat) std::printf("FAILED: descriptors or threads grew between cycles 50 and 100\n");
    return flat;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "startup-child") == 0) return StartupChild(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<std::string> runs(argv + 1, argv + argc);
    if (runs.empty()) runs = {"stall", "startup", "plug"};
    QApplication qt(argc, argv);
    bool ok = true;
    for (const auto& r : runs) {
        if (r == "stall") {
            ok = RunStall() && ok;
        } else if (r == "startup") {
            ok = RunStartup() && ok;
        } else if (r == "plug") {
            ok = RunPlug() && ok;
        } else {
            std::fprintf(stderr, "usage: %s [stall|startup|plug]...\n", argv[0]);
            return 2;
        }
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
