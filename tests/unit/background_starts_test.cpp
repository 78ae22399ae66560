// The launcher's unawaited program starts, made on a worker thread in the order asked for.
#include "launcher/background_starts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qor {
namespace {

// Records every start. The start of the `gate` command line waits until the test opens the
// gate; the start of `failing` throws.
class GatedRunner : public ProgramRunner {
public:
    std::string gate, failing;

    uint32_t Start(const std::string& commandLine, WindowStyle) override {
        std::unique_lock<std::mutex> lock(mutex_);
        started_.push_back(commandLine);
        if (commandLine == failing) throw std::runtime_error("cannot start");
        if (commandLine == gate) {
            atGate_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
        }
        return static_cast<uint32_t>(started_.size());
    }
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override {
        return Start(commandLine, style);
    }

    // True once the gated start has begun (waits up to 10 s for it).
    bool ReachedGate() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return atGate_; });
    }
    void OpenGate() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::vector<std::string> Started() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> started_;
    bool atGate_ = false, open_ = false;
};

using Lines = std::vector<std::string>;

TEST(BackgroundStarts, MakesEveryStartInTheOrderAskedBeforeFinishReturns) {
    GatedRunner inner;
    inner.gate = "b";
    inner.failing = "c";
    BackgroundStarts starts(inner);
    for (const char* command : {"a", "b", "c", "d"}) starts.StartAndForget(command, WindowStyle::MinimizedFocus);
    // The caller got on while the worker is still at "b".
    ASSERT_TRUE(inner.ReachedGate());
    EXPECT_EQ(inner.Started(), (Lines{"a", "b"}));
    EXPECT_EQ(starts.Waiting(), 2u);
    inner.OpenGate();
    starts.Finish();
    // A start that failed in an unforeseen way does not hold up the ones after it.
    EXPECT_EQ(inner.Started(), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(starts.Waiting(), 0u);

    // A start whose process id is wanted comes after every queued one and gives that id.
    starts.StartAndForget("e", WindowStyle::Hidden);
    EXPECT_EQ(starts.Start("f", WindowStyle::NormalFocus), 6u);
    EXPECT_EQ(inner.Started(), (Lines{"a", "b", "c", "d", "e", "f"}));
}

TEST(BackgroundStarts, StartsStillWaitingAreMadeBeforeTheObjectGoes) {
    GatedRunner inner;
    inner.gate = "x";
    {
        BackgroundStarts starts(inner);
        starts.StartAndForget("x", WindowStyle::MinimizedFocus);
        starts.StartAndForget("y", WindowStyle::MinimizedFocus);
        ASSERT_TRUE(inner.ReachedGate());
        inner.OpenGate();
    }
    EXPECT_EQ(inner.Started(), (Lines{"x", "y"}));
}

TEST(BackgroundStarts, AbandonDropsTheStartsNotBegunAndWaitsForTheOneUnderWay) {
    GatedRunner inner;
    inner.gate = "a";
    BackgroundStarts starts(inner);
    for (const char* command : {"a", "b", "c"}) starts.StartAndForget(command, WindowStyle::MinimizedFocus);
    ASSERT_TRUE(inner.ReachedGate());

    std::mutex mutex;
    bool returned = false;
    std::thread ending([&] {
        starts.Abandon();
        std::lock_guard<std::mutex> lock(mutex);
        returned = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (starts.Waiting() != 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_EQ(starts.Waiting(), 0u);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_FALSE(returned) << "Abandon returned while a start was half-made";
    }
    inner.OpenGate();
    ending.join();
    EXPECT_EQ(inner.Started(), (Lines{"a"}));
}

}  // namespace
}  // namespace qor
