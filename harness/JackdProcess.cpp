// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackdProcess.h"

#include "ChildProcess.h"

#include <jack/jack.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

namespace marovane::harness {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto startTimeout = 10s;
constexpr auto pollInterval = 100ms;

// -S (synchronous) matters: without it MIDI between clients gets lost on a
// loaded machine.
pid_t spawnJackd(const std::string& name, const std::string& log) {
    return spawnLogged({"jackd", "-n", name, "-r", "-S", "-d", "dummy", "-r", "48000", "-p", "64"}, log);
}

// Whether the server takes a client yet: a probe client, closed at once.
bool acceptsClients() {
    jack_client_t* probe = jack_client_open("jackd-probe", JackNoStartServer, nullptr);
    if (!probe) return false;
    jack_client_close(probe);
    return true;
}

// Starts jackd as `name` and makes it the server clients use. Returns its pid,
// or -1 with `failure` saying why it does not accept clients.
pid_t start(const std::string& name, const std::string& log, std::string& failure) {
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    const pid_t pid = spawnJackd(name, log);
    if (pid < 0) {
        failure = "Could not start jackd with its log in " + log + ".";
        return -1;
    }
    for (const auto deadline = Clock::now() + startTimeout; Clock::now() < deadline;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            failure = "jackd " + describe(status) + " at start; see " + log + ".";
            return -1;
        }
        if (acceptsClients()) return pid;
        std::this_thread::sleep_for(pollInterval);
    }
    interrupt(pid);
    failure = "jackd did not accept clients within 10 s; see " + log + ".";
    return -1;
}

// One more clean run under the same name frees a registry entry. Returns
// whether the entry is free.
bool reclaim(const std::string& name, const std::string& log) {
    std::string failure;
    const pid_t pid = start(name, log, failure);
    return pid >= 0 && interrupt(pid);
}

// Servers that died without stopping (a crash, a kill): entries named with
// the prefix for a process that is gone.
std::vector<std::string> staleServers(const std::string& prefix) {
    std::ifstream file("/dev/shm/jack-shm-registry", std::ios::binary);
    const std::string registry{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::string> names;
    for (auto at = registry.find(prefix); at != std::string::npos; at = registry.find(prefix, at + 1)) {
        const auto end = registry.find_first_not_of("0123456789", at + prefix.size());
        const std::string name = registry.substr(at, end - at);
        const pid_t owner = std::atoi(name.c_str() + prefix.size());
        if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) names.push_back(name);
    }
    return names;
}

}  // namespace

JackdProcess::JackdProcess(const std::string& prefix)
    : name_(prefix + std::to_string(getpid())), log_("/tmp/" + name_ + ".log") {
    // Before any client: libjack reads these when a client opens.
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    for (const std::string& stale : staleServers(prefix)) reclaim(stale, log_);
    pid_ = start(name_, log_, failure_);
}

JackdProcess::~JackdProcess() { stop(); }

bool JackdProcess::stop() {
    if (pid_ < 0 && !std::exchange(killed_, false)) return true;
    const bool clean = (pid_ >= 0 && interrupt(std::exchange(pid_, -1))) || reclaim(name_, log_);
    if (clean) std::remove(log_.c_str());
    return clean;
}

void JackdProcess::kill() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(std::exchange(pid_, -1), nullptr, 0);
    killed_ = true;
}

void JackdProcess::suspend() {
    if (pid_ >= 0) ::kill(pid_, SIGSTOP);
}

void JackdProcess::resume() {
    if (pid_ >= 0) ::kill(pid_, SIGCONT);
}

bool JackdProcess::restart() {
    if (pid_ >= 0) return false;
    pid_ = start(name_, log_, failure_);
    return pid_ >= 0;
}

}  // namespace marovane::harness
