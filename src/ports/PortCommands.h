// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortInterfaces.h"

#include <string>
#include <vector>

namespace marovane {

// A list entry of the device setup: the text shown and the id of the device
// (empty for the virtual port), which outlasts the text.
struct DeviceEntry {
    std::string text;
    std::string id;
    bool operator==(const DeviceEntry&) const = default;
};

// The list entries of the device setup: the output's device -1 (the virtual
// port) first, then devices 0 and up. Listing selects each device in turn.
std::vector<DeviceEntry> listOutputEntries(MidiOutputPort& output);
std::vector<DeviceEntry> listInputEntries(MidiInputPort& input);

// Reopen a port on the device of a list entry: input entry k is device k,
// output entry k is device k - 1. Neither stops a started port first, so the
// port ends up open and not started. An entry of -1 (an empty input list)
// leaves the input closed.
void OpenMidiIn(MidiInputPort& input, int entry);
void OpenMidiOut(MidiOutputPort& output, int entry);

// "go": start both ports, whatever their state.
void StartPorts(MidiInputPort& input, MidiOutputPort& output);
// File > Exit and "stop": stop and close the input, close the output.
void ClosePortsForExit(MidiInputPort& input, MidiOutputPort& output);
// Closing the main window: stop the input only if started, close it only if
// open, close the output whatever its state.
void ClosePortsForUnload(MidiInputPort& input, MidiOutputPort& output);

// Port errors the user is told about; 0 and ErrorNotDone are not shown.
bool isShownPortError(std::int16_t code);
// Port errors after which the setup dialog's lists may be out of date: a
// device or the whole MIDI system was found gone (or not there at all).
bool outdatesDeviceLists(std::int16_t code);

}  // namespace marovane
