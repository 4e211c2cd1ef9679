// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/DeviceErrors.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

// The words themselves, once: every other test compares with the builders.
TEST(DeviceErrorsTest, EveryFailureHasItsCodeAndWords) {
    const auto input = PortDirection::Input;
    const auto output = PortDirection::Output;
    const std::vector<std::pair<PortError, PortError>> cases{
        {noSuchDevice("Keys", input),
         {ErrorNoSuchDevice,
          "The MIDI input device \"Keys\" is no longer there. Open MIDI > Setup again to choose "
          "from the devices there are now."}},
        {noDeviceNumber(3, output), {ErrorNoSuchDevice, "There is no MIDI output device number 3."}},
        {deviceGone("Synth", output),
         {ErrorDeviceGone,
          "The MIDI output device \"Synth\" has gone, so the output is closed. To play on, open MIDI "
          "> Setup, which lists the devices there are now, choose an output device, press Ok and "
          "press \"go\"."}},
        {notOpenToStart(input), {ErrorNotDone, "The MIDI input is not open, so it cannot be started."}},
        {unknownAction(3, output), {ErrorUnknownAction, "Unknown MIDI output action 3."}},
        {queueOverflow(16384),
         {ErrorQueueFull,
          "Too many MIDI messages arrived at once: more than 16384 were waiting, so later ones were dropped."}},
        {systemOverflow(),
         {ErrorQueueFull,
          "Too many MIDI messages arrived at once: more were waiting than the MIDI system holds for "
          "the program, so some were dropped."}},
        {noJackServer(), {ErrorNoMidiSystem, "No MIDI system: no JACK server is running."}},
        {jackServerGone(),
         {ErrorSystemStopped,
          "The MIDI system has stopped: the JACK server is no longer running, so the MIDI ports "
          "are closed. To play on, start the JACK server again, then open MIDI > Setup, choose "
          "your devices, press Ok and press \"go\"."}},
        {jackStalled(),
         {ErrorSendFailed,
          "The MIDI system has stopped responding: the JACK server has run no process cycle for "
          "over a second, so nothing is sent until it runs again."}},
        {alsaSequencerLost(),
         {ErrorSystemStopped,
          "The MIDI system has stopped: the ALSA sequencer can no longer be read, so the MIDI "
          "ports are closed. To play on, open MIDI > Setup, choose your devices, press Ok and "
          "press \"go\"."}},
    };
    for (const auto& [built, expected] : cases) {
        EXPECT_EQ(built.code, expected.code) << expected.text;
        EXPECT_EQ(built.text, expected.text);
    }
}

}  // namespace
}  // namespace marovane
