// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientProperties.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

namespace marovane {

namespace {

constexpr char variable[] = "PIPEWIRE_PROPS";

std::mutex opening;

}  // namespace

// PipeWire's libjack takes a client's properties only from its configuration
// files and from PIPEWIRE_PROPS, which it reads in jack_client_open. So the
// variable holds ours, after the user's, for the open alone, so that other
// clients of the process keep the user's. It is put back by a new value,
// never removed: glibc then only swaps the one entry, and never frees what a
// getenv() on another thread (Qt's, say) may be reading. Opens made this way
// take turns.
jack_client_t* openJackClient(const char* name, jack_options_t options, const std::string& properties) {
    const std::lock_guard turn(opening);
    const char* set = std::getenv(variable);
    const std::string user = set ? set : "{ }";
    setenv(variable, mergedProperties(set, properties).c_str(), 1);
    jack_client_t* client = jack_client_open(name, options, nullptr);
    setenv(variable, user.c_str(), 1);
    return client;
}

std::string mergedProperties(const char* user, const std::string& properties) {
    std::string_view inside = user ? user : "";
    const auto first = inside.find_first_not_of(" \t\n");
    const auto last = inside.find_last_not_of(" \t\n");
    if (first != std::string_view::npos && inside[first] == '{' && inside[last] == '}') {
        inside = inside.substr(first + 1, last - first - 1);
    }
    return "{ " + std::string(inside) + " " + properties + " }";
}

}  // namespace marovane
