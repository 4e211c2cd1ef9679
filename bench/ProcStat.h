// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace marovane::bench {

// What Linux's /proc tells about another process.

// CPU time (user + system) it has used so far, ended threads included.
double cpuSeconds(pid_t pid);
// CPU time the whole machine spent busy so far, all processors together:
// everything but idle and waiting for I/O, the kernel's interrupts included.
double machineBusySeconds();

// Resident memory (VmRSS) and its parts, in KiB.
struct Resident {
    long total = 0;
    long anonymous = 0;
    long files = 0;
    long sharedMemory = 0;
};
Resident resident(pid_t pid);

// One of its threads: its name, the time it ran and how often it was
// switched out (a sleep or a wait counts as one switch, so this is about the
// number of its wake-ups).
struct ThreadUse {
    pid_t tid = 0;
    std::string name;
    double cpuSeconds = 0;
    long switches = 0;
};
std::vector<ThreadUse> threadUse(pid_t pid);

// The first three numbers of /proc/loadavg: 1, 5 and 15 minutes.
std::string loadAverage();
double loadAverageNow();

}  // namespace marovane::bench
