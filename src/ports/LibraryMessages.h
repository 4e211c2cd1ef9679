#pragma once

namespace marovane {

// Where the MIDI libraries' own messages go: to stderr only when the
// environment variable MAROVANE_MIDI_DEBUG is set to a non-empty value, so
// that the terminal stays quiet in normal use. Any thread.
void reportLibraryMessage(const char* text);

}  // namespace marovane
