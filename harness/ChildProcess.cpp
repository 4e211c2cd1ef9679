// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

namespace marovane::harness {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto stopTimeout = 10s;
constexpr auto pollInterval = 10ms;

}  // namespace

pid_t spawnLogged(const std::vector<std::string>& args, const std::string& log) {
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) return -1;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        prctl(PR_SET_PDEATHSIG, SIGINT);
        if (getppid() != parent) _exit(1);
        execvp(argv[0], argv.data());
        const char failed[] = "marovane: could not run the server\n";
        (void)!write(STDERR_FILENO, failed, sizeof failed - 1);
        _exit(127);
    }
    close(logFd);
    return pid;
}

bool interrupt(pid_t pid) {
    kill(pid, SIGINT);
    int status = 0;
    for (const auto deadline = Clock::now() + stopTimeout; Clock::now() < deadline;) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(pollInterval);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
}

std::string describe(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "ended";
}

}  // namespace marovane::harness
