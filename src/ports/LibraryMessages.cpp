#include "LibraryMessages.h"

#include <cstdio>
#include <cstdlib>

namespace marovane {

void reportLibraryMessage(const char* text) {
    const char* debug = std::getenv("MAROVANE_MIDI_DEBUG");
    if (debug && *debug) std::fprintf(stderr, "%s\n", text);
}

}  // namespace marovane
