// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryMessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace marovane {

void reportLibraryMessage(const char* text) {
    const char* debug = std::getenv("MAROVANE_MIDI_DEBUG");
    if (!debug || !*debug) return;
    const std::size_t length = std::strlen(text);
    std::fprintf(stderr, length > 0 && text[length - 1] == '\n' ? "%s" : "%s\n", text);
}

}  // namespace marovane
