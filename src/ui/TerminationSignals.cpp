// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace marovane {

namespace {
// A signal handler may only write to a descriptor; the UI thread reads the
// other end through the event loop.
int wakeFds[2] = {-1, -1};
constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};
}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0) return;
    notifier_ = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char signal = 0;
        if (read(wakeFds[1], &signal, 1) == 1 && onSignal_) onSignal_();
    });
    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : handledSignals) sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    for (int signal : handledSignals) std::signal(signal, SIG_DFL);
    for (int& fd : wakeFds) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

void TerminationSignals::handle(int signal) {
    const char byte = static_cast<char>(signal);
    (void)!write(wakeFds[0], &byte, 1);
}

}  // namespace marovane
