#pragma once

namespace marovane {

// A message a MIDI library wants to print (libjack's, libasound's). They stay
// off the terminal unless the environment variable MAROVANE_MIDI_DEBUG is set
// to a non-empty value; then each goes to stderr as one line.
void reportLibraryMessage(const char* text);

}  // namespace marovane
