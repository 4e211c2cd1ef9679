#include "ports/JackServer.h"

#include <jack/jack.h>

#include <fcntl.h>
#include <sys/prctl.h>
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

namespace marovane::testing {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = 10s;
constexpr auto kStopTimeout = 10s;
constexpr auto kPollInterval = 100ms;

// Starts jackd with its output going to the log; -1 when it cannot.
// -S (synchronous) matters: without it MIDI between clients gets lost on a
// loaded machine.
pid_t spawnJackd(const std::string& name, const std::string& log) {
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) return -1;
    const std::vector<std::string> args = {"jackd", "-n", name, "-r", "-S", "-d", "dummy", "-r", "48000", "-p", "64"};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        // jackd ends with the test binary, even one that ctest kills.
        prctl(PR_SET_PDEATHSIG, SIGINT);
        if (getppid() != parent) _exit(1);
        execvp("jackd", argv.data());
        const char failed[] = "marovane tests: could not run jackd\n";
        (void)!write(STDERR_FILENO, failed, sizeof failed - 1);
        _exit(127);
    }
    close(logFd);
    return pid;
}

// Asked of libjack directly: RtMidi 5 leaks a buffer for each JACK output
// it makes while no server runs.
bool acceptsClients() {
    jack_client_t* probe = jack_client_open("marovane-test-probe", JackNoStartServer, nullptr);
    if (!probe) return false;
    jack_client_close(probe);
    return true;
}

std::string describe(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "ended";
}

// Returns whether jackd ended on its own with status 0.
bool interrupt(pid_t pid) {
    kill(pid, SIGINT);
    int status = 0;
    for (const auto deadline = Clock::now() + kStopTimeout; Clock::now() < deadline;) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(kPollInterval);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
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
    for (const auto deadline = Clock::now() + kStartTimeout; Clock::now() < deadline;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            failure = "jackd " + describe(status) + " at start; see " + log + ".";
            return -1;
        }
        if (acceptsClients()) return pid;
        std::this_thread::sleep_for(kPollInterval);
    }
    interrupt(pid);
    failure = "jackd did not accept clients within 10 s; see " + log + ".";
    return -1;
}

// A jackd that does not end cleanly keeps its entry in JACK's registry, which
// holds only 8 servers per machine; one more clean run under the same name
// frees it. Returns whether the entry is free.
bool reclaim(const std::string& name, const std::string& log) {
    std::string failure;
    const pid_t pid = start(name, log, failure);
    return pid >= 0 && interrupt(pid);
}

// Servers of earlier runs that died without stopping theirs (a crash, a
// kill): entries named for a test process that is gone.
std::vector<std::string> staleServers() {
    const std::string prefix = "marovane-test-";
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

void JackServer::SetUp() {
    name_ = "marovane-test-" + std::to_string(getpid());
    log_ = "/tmp/" + name_ + ".log";
    // Before any client: libjack reads these when a client opens.
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    for (const std::string& stale : staleServers()) reclaim(stale, log_);
    std::string failure;
    pid_ = start(name_, log_, failure);
    unavailable_ = failure;
    running_ = this;
}

void JackServer::TearDown() {
    running_ = nullptr;
    if (pid_ < 0 && !killed_) return;
    const bool clean = pid_ >= 0 && interrupt(std::exchange(pid_, -1));
    if (!clean && !reclaim(name_, log_)) {
        std::fprintf(stderr, "jackd did not stop cleanly; see %s\n", log_.c_str());
        return;
    }
    std::remove(log_.c_str());
}

void JackServer::kill() {
    if (!running_ || running_->pid_ < 0) return;
    ::kill(running_->pid_, SIGKILL);
    waitpid(std::exchange(running_->pid_, -1), nullptr, 0);
    running_->killed_ = true;
}

bool JackServer::restart() {
    if (!running_ || running_->pid_ >= 0) return false;
    std::string failure;
    running_->pid_ = start(running_->name_, running_->log_, failure);
    return running_->pid_ >= 0;
}

}  // namespace marovane::testing
