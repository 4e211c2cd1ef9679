// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace marovane {

// What a MIDI library (libasound, libjack) says on its own. What the
// user must know reaches the window through the ports' Error events, so this
// goes to standard error only when the environment variable
// MAROVANE_MIDI_DEBUG is set to a non-empty value. Any thread may call it.
void reportLibraryMessage(const char* text);

}  // namespace marovane
