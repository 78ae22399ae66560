#include "launcher/background_starts.h"

#include <system_error>
#include <utility>

namespace qor {

BackgroundStarts::~BackgroundStarts() { Finish(); }

uint32_t BackgroundStarts::Start(const std::string& commandLine, WindowStyle style) {
    Finish();
    return inner_.Start(commandLine, style);
}

std::optional<uint32_t> BackgroundStarts::StartAndWait(const std::string& commandLine, WindowStyle style) {
    Finish();
    return inner_.StartAndWait(commandLine, style);
}

void BackgroundStarts::StartAndForget(const std::string& commandLine, WindowStyle style) {
    if (!worker_.joinable()) {
        // Requests wait in the queue only while a worker runs, so without one nothing asked
        // for earlier is still waiting and a start made here keeps the order.
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            inner_.Start(commandLine, style);
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Request{commandLine, style});
    }
    wake_.notify_one();
}

void BackgroundStarts::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        Request next = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        // A start that fails in an unforeseen way is a start that failed; the next one runs.
        try {
            inner_.Start(next.commandLine, next.style);
        } catch (...) {
        }
        lock.lock();
    }
}

void BackgroundStarts::Finish() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    worker_.join();
    closing_ = false;
}

void BackgroundStarts::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
    }
    Finish();
}

size_t BackgroundStarts::Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

}  // namespace qor
