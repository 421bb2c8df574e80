// The window across many links: each unplug and plug of the camera starts
// and ends a link (communication thread, socket, device watch). Whatever a
// link opens has to go with it, so after the first links have warmed up
// what is lazily made once, the process holds no more descriptors and no
// more threads however often the camera comes and goes.
#include <gtest/gtest.h>

#include "tests/ui/main_dlg_bench.h"
#include "tests/ui/process_counts.h"

namespace {

using kvx::test::MainDlgBench;
using kvx::test::ProcessCounts;

class PlugCycles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench_.SetUp("kvx-plug-cycles")); }

    // One unplug and plug; false when the window did not follow.
    bool Cycle() {
        bench_.camera->Unplug();
        if (!MainDlgBench::Pump([&] {
                return !bench_.window->Session().ThreadRunning() &&
                       !bench_.window->ControlsEnabled();
            }))
            return false;
        return bench_.camera->Plug() && bench_.WaitConnected();
    }

    ProcessCounts Counts() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ProcessCounts::Now();
    }

    MainDlgBench bench_;
};

TEST_F(PlugCycles, LinksLeaveNoDescriptorsOrThreadsBehind) {
    bench_.StartCamera();
    bench_.MakeWindow();
    bench_.window->show();
    bench_.window->Start();
    ASSERT_TRUE(bench_.WaitConnected());
    for (int c = 1; c <= 3; ++c) ASSERT_TRUE(Cycle()) << "warm-up cycle " << c;
    const ProcessCounts before = Counts();
    for (int c = 1; c <= 12; ++c) ASSERT_TRUE(Cycle()) << "cycle " << c;
    const ProcessCounts after = Counts();
    EXPECT_EQ(after.fds, before.fds);
    EXPECT_EQ(after.threads, before.threads);
}

}  // namespace
