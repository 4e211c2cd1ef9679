// SPDX-License-Identifier: GPL-3.0-or-later
#include "PipeWireProcess.h"

#include "ChildProcess.h"

#include <link.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <thread>
#include <utility>

namespace marovane::harness {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto startTimeout = 10s;
constexpr auto pollInterval = 10ms;

// Whether the server takes connections on its socket. Asked of the socket
// rather than by opening a JACK client, which would report every failed try.
bool listening(const std::string& socketPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const bool accepted = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return accepted;
}

}  // namespace

bool usesPipeWiresJack() {
    const auto isPipeWiresJack = [](dl_phdr_info* library, std::size_t, void*) {
        const std::string_view path = library->dlpi_name ? library->dlpi_name : "";
        return path.find("/libjack.so") != std::string_view::npos && path.find("pipewire") != std::string_view::npos
                   ? 1
                   : 0;
    };
    return dl_iterate_phdr(isPipeWiresJack, nullptr) != 0;
}

PipeWireProcess::PipeWireProcess() {
    char folder[] = "/tmp/marovane-pipewire-XXXXXX";
    if (!mkdtemp(folder)) {
        failure_ = "Could not make a runtime folder for PipeWire.";
        return;
    }
    folder_ = folder;
    log_ = folder_ + ".log";
    // Read when the server starts and when a client connects.
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    setenv("PIPEWIRE_RUNTIME_DIR", folder_.c_str(), 1);
    unsetenv("PIPEWIRE_REMOTE");
    start();
}

PipeWireProcess::~PipeWireProcess() { stop(); }

void PipeWireProcess::start() {
    pid_ = spawnLogged({"pipewire", "-c", MAROVANE_PIPEWIRE_CONF}, log_);
    if (pid_ < 0) {
        failure_ = "Could not start pipewire with its log in " + log_ + ".";
        return;
    }
    const std::string socketPath = folder_ + "/pipewire-0";
    for (const auto deadline = Clock::now() + startTimeout; Clock::now() < deadline;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "pipewire " + describe(status) + " at start; see " + log_ + ".";
            return;
        }
        if (listening(socketPath)) {
            failure_.clear();
            return;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    interrupt(std::exchange(pid_, -1));
    failure_ = "pipewire did not take clients within 10 s; see " + log_ + ".";
}

bool PipeWireProcess::stop() {
    const bool clean = pid_ < 0 || interrupt(std::exchange(pid_, -1));
    if (clean) std::remove(log_.c_str());
    if (!folder_.empty()) std::filesystem::remove_all(std::exchange(folder_, {}));
    return clean;
}

void PipeWireProcess::kill() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(std::exchange(pid_, -1), nullptr, 0);
}

bool PipeWireProcess::restart() {
    if (pid_ >= 0 || folder_.empty()) return false;
    start();
    return pid_ >= 0;
}

void PipeWireProcess::suspend() {
    if (pid_ >= 0) ::kill(pid_, SIGSTOP);
}

void PipeWireProcess::resume() {
    if (pid_ >= 0) ::kill(pid_, SIGCONT);
}

}  // namespace marovane::harness
