// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceErrors.h"

namespace marovane {

namespace {

// What the words for a stopped system end with.
constexpr char chooseAgain[] = "open MIDI > Setup, choose your devices, press Ok and press \"go\".";

}  // namespace

const char* directionName(PortDirection direction) { return direction == PortDirection::Input ? "input" : "output"; }

PortError noSuchDevice(const std::string& device, PortDirection direction) {
    return {ErrorNoSuchDevice, std::string("The MIDI ") + directionName(direction) + " device \"" + device +
                                   "\" is no longer there. Open MIDI > Setup again to choose from the devices "
                                   "there are now."};
}

PortError noDeviceNumber(std::int16_t id, PortDirection direction) {
    return {ErrorNoSuchDevice,
            std::string("There is no MIDI ") + directionName(direction) + " device number " + std::to_string(id) + "."};
}

PortError deviceGone(const std::string& device, PortDirection direction) {
    const std::string port = directionName(direction);
    return {ErrorDeviceGone, "The MIDI " + port + " device \"" + device + "\" has gone, so the " + port +
                                 " is closed. To play on, open MIDI > Setup, which lists the devices there are now, "
                                 "choose an " +
                                 port + " device, press Ok and press \"go\"."};
}

PortError notOpenToStart(PortDirection direction) {
    return {ErrorNotDone,
            std::string("The MIDI ") + directionName(direction) + " is not open, so it cannot be started."};
}

PortError unknownAction(std::int16_t action, PortDirection direction) {
    return {ErrorUnknownAction,
            std::string("Unknown MIDI ") + directionName(direction) + " action " + std::to_string(action) + "."};
}

PortError queueOverflow(std::size_t capacity) {
    return {ErrorQueueFull, "Too many MIDI messages arrived at once: more than " + std::to_string(capacity) +
                                " were waiting, so later ones were dropped."};
}

PortError systemOverflow() {
    return {ErrorQueueFull,
            "Too many MIDI messages arrived at once: more were waiting than the MIDI system holds for the program, "
            "so some were dropped."};
}

PortError noJackServer() { return {ErrorNoMidiSystem, "No MIDI system: no JACK server is running."}; }

PortError jackServerGone() {
    return {ErrorSystemStopped, std::string("The MIDI system has stopped: the JACK server is no longer running, so "
                                            "the MIDI ports are closed. To play on, start the JACK server again, "
                                            "then ") +
                                    chooseAgain};
}

PortError jackStalled() {
    return {ErrorSendFailed,
            "The MIDI system has stopped responding: the JACK server has run no process cycle for over a second, so "
            "nothing is sent until it runs again."};
}

PortError jackNotAnswering() {
    return {ErrorNoMidiSystem, std::string("The MIDI system has stopped responding: the JACK server does not answer "
                                           "the program. Once it runs again, ") +
                                   chooseAgain};
}

PortError alsaSequencerLost() {
    return {ErrorSystemStopped, std::string("The MIDI system has stopped: the ALSA sequencer can no longer be read, "
                                            "so the MIDI ports are closed. To play on, ") +
                                    chooseAgain};
}

}  // namespace marovane
