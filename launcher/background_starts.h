// Program starts that the launcher never waits for (regsvr32, reg, regedit, the updater), made
// one after another on a worker thread in the order they were asked for, so that the start-up
// goes on while each process is being created.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/program_runner.h"

namespace qor {

class BackgroundStarts : public ProgramRunner {
public:
    explicit BackgroundStarts(ProgramRunner& inner) : inner_(inner) {}
    // Makes every start still waiting before the object goes.
    ~BackgroundStarts() override;
    BackgroundStarts(const BackgroundStarts&) = delete;
    BackgroundStarts& operator=(const BackgroundStarts&) = delete;

    // Made at once on the caller's thread, after every start asked for before it; the caller
    // gets the process id.
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    // Likewise made at once, after every start asked for before it, and waited for.
    std::optional<uint32_t> StartAndWait(const std::string& commandLine, WindowStyle style) override;
    // Queued for the worker, which makes it after every start asked for before it. When no
    // worker can be had, the start is made at once on the caller's thread.
    void StartAndForget(const std::string& commandLine, WindowStyle style) override;

    // Returns once every start asked for has been made: the program may then end without
    // leaving a start half-made.
    void Finish();
    // For ending at once: the starts that have not begun are dropped; returns once the start
    // under way, if any, has been made.
    void Abandon();
    // How many starts asked for have not begun yet.
    size_t Waiting();

private:
    struct Request {
        std::string commandLine;
        WindowStyle style;
    };
    void Work();

    ProgramRunner& inner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> queue_;
    bool closing_ = false;
    std::thread worker_;
};

}  // namespace qor
