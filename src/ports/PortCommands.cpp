// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCommands.h"

namespace marovane {

namespace {

std::vector<DeviceEntry> listEntries(MidiPortProperties& port, std::int16_t first) {
    const std::int16_t count = port.DeviceCount();
    std::vector<DeviceEntry> entries;
    for (std::int16_t device = first; device < count; ++device) {
        port.setDeviceID(device);
        entries.push_back({port.ProductName(), port.selectedDeviceId()});
    }
    return entries;
}

}  // namespace

std::vector<DeviceEntry> listOutputEntries(MidiOutputPort& output) { return listEntries(output, -1); }
std::vector<DeviceEntry> listInputEntries(MidiInputPort& input) { return listEntries(input, 0); }

void OpenMidiIn(MidiInputPort& input, int entry) {
    if (input.State() >= StateOpen) input.setAction(ActionClose);
    input.setDeviceID(static_cast<std::int16_t>(entry));
    if (entry >= 0) input.setAction(ActionOpen);
}

void OpenMidiOut(MidiOutputPort& output, int entry) {
    const std::int16_t state = output.State();
    const std::int16_t device = output.DeviceID();
    // The virtual port is closed even while its State reads 0.
    if (state >= StateOpen || device == -1) output.setAction(ActionClose);
    output.setDeviceID(static_cast<std::int16_t>(entry - 1));
    output.setAction(ActionOpen);
}

void StartPorts(MidiInputPort& input, MidiOutputPort& output) {
    input.setAction(ActionStart);
    output.setAction(ActionStart);
}

void ClosePortsForExit(MidiInputPort& input, MidiOutputPort& output) {
    input.setAction(ActionStop);
    input.setAction(ActionClose);
    output.setAction(ActionClose);
}

void ClosePortsForUnload(MidiInputPort& input, MidiOutputPort& output) {
    const std::int16_t first = input.State();
    const std::int16_t second = input.State();
    if (first != StateOpen && second != StateClosed) input.setAction(ActionStop);
    if (input.State() != StateClosed) input.setAction(ActionClose);
    output.setAction(ActionClose);
}

bool isShownPortError(std::int16_t code) { return code != 0 && code != ErrorNotDone; }

bool outdatesDeviceLists(std::int16_t code) {
    switch (code) {
    case ErrorNoMidiSystem:
    case ErrorNoSuchDevice:
    case ErrorSystemStopped:
    case ErrorDeviceGone:
        return true;
    default:
        return false;
    }
}

}  // namespace marovane
