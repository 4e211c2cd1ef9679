#pragma once

namespace marovane {

// Sends what libasound, libjack and RtMidi print on their own to
// reportLibraryMessage instead of the terminal. Process-wide; the first call
// installs the routes, later ones do nothing.
void routeLibraryMessages();

}  // namespace marovane
