// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <climits>
#include <csignal>
#include <stdexcept>
#include <thread>

namespace marovane::bench {

namespace {

using namespace std::chrono_literals;

std::string programPath(const std::string& program) {
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) throw std::runtime_error("cannot find the benchmark's own path");
    const std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + program;
}

}  // namespace

ProgramProcess::ProgramProcess(const std::vector<std::string>& args, const std::string& program) {
    const std::string path = programPath(program);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    const pid_t parent = getpid();
    startedAt_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        // The program ends with the benchmark, even one that is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output_ = pipeFds[0];
    if (pid_ < 0) {
        close(output_);
        throw std::runtime_error("cannot start " + path);
    }
}

ProgramProcess::~ProgramProcess() {
    if (pid_ > 0) stop();
    close(output_);
}

std::string ProgramProcess::nextLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (auto end = pending_.find('\n'); end == std::string::npos; end = pending_.find('\n')) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{output_, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("the program said nothing in time");
        }
        char chunk[256];
        const ssize_t got = read(output_, chunk, sizeof chunk);
        if (got <= 0) throw std::runtime_error("the program ended early");
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
    const auto end = pending_.find('\n');
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
}

bool ProgramProcess::waitForExit(std::chrono::milliseconds timeout) {
    int status = 0;
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline;) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return false;
}

bool ProgramProcess::stop() {
    kill(pid_, SIGTERM);
    // Closing the output lets JACK send what is queued: about 100 ms.
    return waitForExit(10s);
}

}  // namespace marovane::bench
