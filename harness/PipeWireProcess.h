// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ServerProcess.h"

#include <sys/types.h>

#include <string>

namespace marovane::harness {

// Whether this process uses PipeWire's libjack, which lives in a folder of
// its own that `pw-jack` puts first in the library path.
bool usesPipeWiresJack();

// A PipeWire server of the caller's own, with the configuration beside this
// file, in a runtime folder of its own that the constructor makes the one
// this process's clients use (XDG_RUNTIME_DIR). Its JACK clients need
// PipeWire's libjack (run the program under `pw-jack`), and get its default
// client properties, as on a desktop.
class PipeWireProcess : public ServerProcess {
public:
    PipeWireProcess();
    ~PipeWireProcess() override;
    PipeWireProcess(const PipeWireProcess&) = delete;
    PipeWireProcess& operator=(const PipeWireProcess&) = delete;

    const std::string& failure() const override { return failure_; }
    const std::string& log() const override { return log_; }

    // Also removes the runtime folder.
    bool stop() override;
    void kill() override;
    bool restart() override;
    void suspend() override;
    void resume() override;

private:
    void start();

    std::string folder_;
    std::string log_;
    std::string failure_;
    pid_t pid_ = -1;
};

}  // namespace marovane::harness
