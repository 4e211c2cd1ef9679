// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ServerProcess.h"

#include <sys/types.h>
#include <string>

namespace marovane::harness {

// A jackd of the caller's own: the dummy back end at 48 kHz with 64-frame
// periods, synchronous, named `prefix` + this process's id. Clients of this
// process and of its children find it through JACK_DEFAULT_SERVER, which the
// constructor sets with the other variables libjack reads when a client
// opens.
//
// JACK's machine-wide registry holds only 8 servers, and a jackd that does
// not end cleanly keeps its entry. So every client must be closed before
// stop(), and the constructor first frees the entries that dead processes
// left under the same prefix.
class JackdProcess : public ServerProcess {
public:
    explicit JackdProcess(const std::string& prefix);
    ~JackdProcess() override;
    JackdProcess(const JackdProcess&) = delete;
    JackdProcess& operator=(const JackdProcess&) = delete;

    // Why no server runs, or empty while one does.
    const std::string& failure() const override { return failure_; }
    const std::string& name() const { return name_; }
    // jackd's output; removed when the server stopped cleanly.
    const std::string& log() const override { return log_; }

    // Stops the server; returns whether its registry entry is free again.
    bool stop() override;

    // Kills the server at once (SIGKILL), as a crash would; stop() still
    // frees its registry entry.
    void kill() override;
    // Starts it again under its name after kill(); false when it does not
    // accept clients.
    bool restart() override;
    // Stops the server where it stands (SIGSTOP), as a hung server would,
    // and lets it go on (SIGCONT).
    void suspend() override;
    void resume() override;

private:
    std::string prefix_;
    std::string name_;
    std::string log_;
    std::string failure_;
    pid_t pid_ = -1;
    bool killed_ = false;
};

}  // namespace marovane::harness
