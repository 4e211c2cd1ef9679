// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace marovane::bench {

// The program under measurement (marovane_bench_program, or another program
// next to the benchmark), run as a child so that its CPU time and memory are
// its own.
// It inherits the environment: the JACK server and Qt's platform.
class ProgramProcess {
public:
    using Clock = std::chrono::steady_clock;

    // Starts it with the scenario `args`; throws std::runtime_error when it
    // cannot.
    explicit ProgramProcess(const std::vector<std::string>& args,
                            const std::string& program = "marovane_bench_program");
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The steady clock just before the process was created.
    Clock::time_point startedAt() const { return startedAt_; }

    // The next line it printed, without the newline; throws
    // std::runtime_error when none came within `timeout` or it ended.
    std::string nextLine(std::chrono::milliseconds timeout);

    // Waits for it to end on its own; returns whether it ended with status 0.
    bool waitForExit(std::chrono::milliseconds timeout);
    // Stops it with SIGTERM, as a session would, which closes its window;
    // returns whether it then ended with status 0.
    bool stop();

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    Clock::time_point startedAt_;
};

}  // namespace marovane::bench
