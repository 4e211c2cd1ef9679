// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace marovane::harness {

// Runs `args` (the program first, looked up in PATH) with its output going to
// the file `log`; it ends with the caller, even one that is killed. Returns
// its pid, or -1 when it cannot start.
pid_t spawnLogged(const std::vector<std::string>& args, const std::string& log);

// Asks the child to end (SIGINT), and kills it when it has not within 10 s;
// returns whether it ended on its own with status 0.
bool interrupt(pid_t pid);

// How a child ended, from its wait status ("exited with status 1").
std::string describe(int status);

}  // namespace marovane::harness
