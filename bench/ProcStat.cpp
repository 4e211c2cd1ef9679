// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcStat.h"

#include <dirent.h>
#include <unistd.h>
#include <fstream>
#include <iterator>
#include <sstream>

namespace marovane::bench {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Fields of a stat file after the name in parentheses, which may hold spaces:
// the first is field 3 (state).
std::vector<std::string> statFields(const std::string& path) {
    const std::string stat = slurp(path);
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    return {std::istream_iterator<std::string>(rest), {}};
}

double ticksToSeconds(const std::string& user, const std::string& system) {
    return (std::stod(user) + std::stod(system)) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Name: value" line of a status file.
long statusValue(const std::string& path, const std::string& name) {
    std::istringstream status(slurp(path));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) return std::stol(line.substr(name.size() + 1));
    }
    return 0;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

double cpuSeconds(pid_t pid) {
    // utime and stime are fields 14 and 15; cutime and cstime would count children.
    const auto fields = statFields("/proc/" + std::to_string(pid) + "/stat");
    return fields.size() > 12 ? ticksToSeconds(fields[11], fields[12]) : 0;
}

double machineBusySeconds() {
    // The first line: "cpu" then user, nice, system, idle, iowait, irq, softirq, steal...
    std::istringstream line(slurp("/proc/stat"));
    std::string name;
    line >> name;
    double busy = 0;
    long long ticks = 0;
    for (int field = 0; line >> ticks; ++field) {
        if (field != 3 && field != 4 && field < 8) busy += static_cast<double>(ticks);
    }
    return busy / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Resident resident(pid_t pid) {
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    return {statusValue(status, "VmRSS"), statusValue(status, "RssAnon"), statusValue(status, "RssFile"),
            statusValue(status, "RssShmem")};
}

std::vector<ThreadUse> threadUse(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::vector<ThreadUse> threads;
    DIR* dir = opendir(tasks.c_str());
    if (!dir) return threads;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string task = tasks + "/" + entry->d_name;
        ThreadUse use;
        use.tid = std::stoi(entry->d_name);
        use.name = trimmed(slurp(task + "/comm"));
        // schedstat's first field is the time on a CPU in nanoseconds: finer
        // than stat's clock ticks, which a thread that wakes briefly rarely hits.
        std::istringstream schedstat(slurp(task + "/schedstat"));
        double nanoseconds = 0;
        schedstat >> nanoseconds;
        use.cpuSeconds = nanoseconds / 1e9;
        use.switches = statusValue(task + "/status", "voluntary_ctxt_switches") +
                       statusValue(task + "/status", "nonvoluntary_ctxt_switches");
        threads.push_back(use);
    }
    closedir(dir);
    return threads;
}

std::string loadAverage() {
    std::istringstream load(slurp("/proc/loadavg"));
    std::string one, five, fifteen;
    load >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double loadAverageNow() { return std::stod(loadAverage()); }

}  // namespace marovane::bench
