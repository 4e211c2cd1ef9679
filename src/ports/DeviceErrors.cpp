// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceErrors.h"

namespace marovane {

PortError noSuchDevice(const std::string& device, const char* direction) {
    return {ErrorNoSuchDevice, std::string("The MIDI ") + direction + " device \"" + device +
                                   "\" is no longer there. Open MIDI > Setup again to choose from the devices "
                                   "there are now."};
}

PortError deviceGone(const std::string& device, const char* direction) {
    return {ErrorDeviceGone,
            std::string("The MIDI ") + direction + " device \"" + device + "\" has gone, so the " + direction +
                " is closed. To play on, open MIDI > Setup, which lists the devices there are now, choose an " +
                direction + " device, press Ok and press \"go\"."};
}

PortError jackServerGone() {
    return {ErrorSystemStopped,
            "The MIDI system has stopped: the JACK server is no longer running, so the MIDI ports are closed. To "
            "play on, start the JACK server again, then open MIDI > Setup, choose your devices, press Ok and press "
            "\"go\"."};
}

PortError alsaSequencerLost() {
    return {ErrorSystemStopped,
            "The MIDI system has stopped: the ALSA sequencer can no longer be read, so the MIDI ports are closed. To "
            "play on, open MIDI > Setup, choose your devices, press Ok and press \"go\"."};
}

}  // namespace marovane
