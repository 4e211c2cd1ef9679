// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace marovane::harness {

// A sound server of the caller's own that the JACK clients of this process
// reach: jackd (JackdProcess) or PipeWire (PipeWireProcess).
class ServerProcess {
public:
    virtual ~ServerProcess() = default;

    // Why no server runs, or empty while one does.
    virtual const std::string& failure() const = 0;
    // The server's output; removed when it stopped cleanly.
    virtual const std::string& log() const = 0;

    // Stops the server; returns whether it ended cleanly.
    virtual bool stop() = 0;
    // Kills the server at once (SIGKILL), as a crash would.
    virtual void kill() = 0;
    // Starts it again, for the same clients, after kill(); false when it
    // does not accept clients.
    virtual bool restart() = 0;
    // Stops the server where it stands (SIGSTOP), as a hung server would,
    // and lets it go on (SIGCONT).
    virtual void suspend() = 0;
    virtual void resume() = 0;
};

}  // namespace marovane::harness
