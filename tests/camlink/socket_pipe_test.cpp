// The pipe to a virtual camera: a receive gathers what it asked for however
// the camera cuts it, ends on the camera's close, and never waits past its
// timeout, not even when signals keep interrupting it.
#include "camlink/device/socket_pipe.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kvx::device {
namespace {

using namespace std::chrono_literals;

struct Pair {
    int ours = -1, camera = -1;
    Pair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            ours = fds[0];
            camera = fds[1];
            // A pipe that stops reading must fail the case, not hang it.
            timeval tv{2, 0};
            ::setsockopt(camera, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        }
    }
    ~Pair() {
        if (camera >= 0) ::close(camera);
    }
    void CloseCamera() {
        ::close(camera);
        camera = -1;
    }
};

TEST(SocketPipe, AReceiveGathersThePiecesItAskedForOrEndsOnTheClose) {
    struct Case {
        const char* what;
        size_t send;   // bytes the camera sends, in bits of `bit` bytes
        size_t bit;
        bool close;    // the camera closes after sending
        PipeStatus first;
        size_t firstCount;
        PipeStatus second;
    };
    const Case cases[] = {
        {"whole, cut into bits", 300000, 7000, false, PipeStatus::Ok, 300000, PipeStatus::Timeout},
        {"in one go", 300000, 300000, false, PipeStatus::Ok, 300000, PipeStatus::Timeout},
        {"cut short by a close", 1000, 300, true, PipeStatus::Ok, 1000, PipeStatus::Closed},
        {"nothing, then a close", 0, 1, true, PipeStatus::Closed, 0, PipeStatus::Closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pair p;
        ASSERT_GE(p.ours, 0);
        SocketPipe pipe(p.ours, 300);
        std::vector<uint8_t> bytes(c.send);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
        std::thread camera([&] {
            for (size_t at = 0; at < bytes.size(); at += c.bit) {
                const size_t n = std::min(c.bit, bytes.size() - at);
                ASSERT_EQ(::send(p.camera, bytes.data() + at, n, MSG_NOSIGNAL),
                          static_cast<ssize_t>(n));
                std::this_thread::sleep_for(1ms);
            }
            if (c.close) p.CloseCamera();
        });
        std::vector<uint8_t> into(300000, 0);
        size_t got = 0;
        EXPECT_EQ(pipe.Receive(into, &got), c.first);
        EXPECT_EQ(got, c.firstCount);
        camera.join();
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(got), into.begin()));
        size_t more = 1;
        EXPECT_EQ(pipe.Receive(into, &more), c.second);
        EXPECT_EQ(more, 0u);
    }
}

std::atomic<int> g_interrupts{0};
void CountInterrupt(int) { ++g_interrupts; }

// A signal handler installed without restarting (as a program that wants its
// waits to notice Ctrl+C does) interrupts the wait every 20 ms; the
// interrupted waits share one deadline instead of each starting afresh.
TEST(SocketPipe, InterruptedWaitsKeepOneDeadline) {
    struct sigaction action{}, old{};
    action.sa_handler = CountInterrupt;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
    Pair p;
    ASSERT_GE(p.ours, 0);
    SocketPipe pipe(p.ours, 400);
    const pthread_t waiter = ::pthread_self();
    std::atomic<bool> done{false};
    g_interrupts = 0;
    std::thread interrupter([&] {
        while (!done) {
            ::pthread_kill(waiter, SIGUSR1);
            std::this_thread::sleep_for(20ms);
        }
    });
    std::vector<uint8_t> into(64);
    size_t got = 0;
    const auto start = std::chrono::steady_clock::now();
    const PipeStatus receive = pipe.Receive(into, &got);
    const auto spent = std::chrono::steady_clock::now() - start;
    // A silent camera with its buffer full: the send waits too.
    std::vector<uint8_t> big(8 << 20, 0x55);
    const PipeStatus send = pipe.SendContainer(big);
    done = true;
    interrupter.join();
    ::sigaction(SIGUSR1, &old, nullptr);

    EXPECT_EQ(receive, PipeStatus::Timeout);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(spent, 400ms);
    // Restarted with the whole timeout each time, it would never end while
    // the signals come; 20 interrupts fall inside one deadline.
    EXPECT_LT(spent, 4000ms);
    EXPECT_GT(g_interrupts.load(), 5);
    EXPECT_EQ(send, PipeStatus::Timeout);
}

}  // namespace
}  // namespace kvx::device
