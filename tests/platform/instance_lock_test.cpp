// The single-instance lock and the signal pipe.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/signal_pipe.h"

namespace fs = std::filesystem;
using kvx::InstanceLock;

namespace {

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvx-lock-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        lock_ = (dir_ / "run" / "KVX2.exe.lock").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string lock_;
};

TEST_F(InstanceLockTest, OneHolderAtATimeAndReleasedOnDestruction) {
    auto first = std::make_unique<InstanceLock>(lock_);
    ASSERT_EQ(first->GetState(), InstanceLock::State::Acquired) << first->Error();
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // the folder was made private
    {
        InstanceLock second(lock_);
        EXPECT_EQ(second.GetState(), InstanceLock::State::HeldByOther);
    }
    EXPECT_EQ(InstanceLock(lock_).GetState(), InstanceLock::State::HeldByOther);
    first.reset();
    EXPECT_EQ(InstanceLock(lock_).GetState(), InstanceLock::State::Acquired);
    EXPECT_TRUE(fs::exists(lock_));  // the file stays; only the lock goes
}

TEST_F(InstanceLockTest, LockOfAKilledHolderDoesNotBlock) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock held(lock_);
        char c = held.GetState() == InstanceLock::State::Acquired ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &c, 1);
        if (c != 'y') ::_exit(1);
        for (;;) ::pause();
    }
    // The child must not outlive a failed assertion below.
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
        }
    } reaper{child};
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(InstanceLock(lock_).GetState(), InstanceLock::State::HeldByOther);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    reaper.pid = 0;
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(fs::exists(lock_));
    EXPECT_EQ(InstanceLock(lock_).GetState(), InstanceLock::State::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(InstanceLockTest, FolderOthersCanWriteIsRefused) {
    fs::create_directories(dir_ / "run");
    ::chmod((dir_ / "run").c_str(), 0777);
    InstanceLock lock(lock_);
    EXPECT_EQ(lock.GetState(), InstanceLock::State::Unavailable);
    EXPECT_NE(lock.Error().find("not a private folder"), std::string::npos) << lock.Error();
    EXPECT_FALSE(fs::exists(lock_));
}

TEST_F(InstanceLockTest, NamesLiveInTheRuntimeFolder) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "";
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    EXPECT_EQ(InstanceLock::SocketPath(), dir_.string() + "/KVX2.exe");
    EXPECT_EQ(InstanceLock::LockPath(), dir_.string() + "/KVX2.exe.lock");
    if (old)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(SignalPipeTest, SignalsArriveAsBytesAndOldHandlersReturn) {
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGINT, SIG_DFL);
    {
        kvx::SignalPipe pipe({SIGTERM, SIGINT});
        ASSERT_TRUE(pipe.Ok());
        EXPECT_TRUE(pipe.Drain().empty());
        ::raise(SIGTERM);
        ::raise(SIGINT);
        ::raise(SIGTERM);
        EXPECT_EQ(pipe.Drain(), (std::vector<int>{SIGTERM, SIGINT, SIGTERM}));
        EXPECT_TRUE(pipe.Drain().empty());
    }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
