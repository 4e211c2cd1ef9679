// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the ALSA back end on a real sequencer, as a synthesiser's queue
// stamps what it hears. Run inside the test machine, which is emulated and so
// slower and less steady than real hardware:
//
//   tests/support/alsa-vm/run-in-alsa-vm.sh build/bench/alsa/marovane_alsa_measure
//
// Not a test: the figures are printed, never asserted.

#include "../Spread.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "ports/alsa/AlsaBackend.h"
#include "ports/alsa/TimedSender.h"
#include "support/Collectors.h"
#include "support/ManualUiThread.h"
#include "support/alsa/SequencerPeer.h"

#include <sys/utsname.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace marovane::bench {
namespace {

using testing::SequencerPeer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int stepCount = 200;
constexpr auto stepPeriod = 50ms;
constexpr int thruMessages = 5000;

double ms(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

// A step clock as the window's timer runs it: it wakes at each step's time,
// as late as the system lets it, and sends the step's note, with that time
// as its due time or without one.
void steps(AlsaBackend& backend, SequencerPeer& synth, bool scheduled) {
    testing::Changes changes;
    auto output = backend.openOutput(testing::devicesNamed(backend.outputDevices(), synth.synth()).at(0), changes);
    synth.forget();
    const auto start = Clock::now() + 100ms;
    std::vector<double> late;  // how late the clock woke
    for (int step = 0; step < stepCount; ++step) {
        const auto due = start + step * stepPeriod;
        std::this_thread::sleep_until(due);
        late.push_back(ms(Clock::now() - due));
        output.connection->send({0x90, 60, 100}, scheduled ? SendTime(due) : std::nullopt);
    }
    const auto heard = synth.waitFor(stepCount);
    const auto aim = scheduled ? TimedSender::latency : 0ms;
    std::vector<double> errors, absoluteErrors, intervals, intervalErrors;
    for (std::size_t step = 0; step < heard.size(); ++step) {
        errors.push_back(ms(heard[step].at - (start + step * stepPeriod + aim)));
        absoluteErrors.push_back(std::abs(errors.back()));
        if (step == 0) continue;
        intervals.push_back(ms(heard[step].at - heard[step - 1].at));
        intervalErrors.push_back(std::abs(intervals.back() - ms(stepPeriod)));
    }
    const Spread error = spreadOf(absoluteErrors), interval = spreadOf(intervalErrors), woke = spreadOf(late);
    std::printf(
        "Step notes every 50 ms, %s: %zu of %d heard (the clock woke late by p99 %.3f, max %.3f ms)\n"
        "  interval: mean %.3f ms; |interval - 50 ms| p99 %.3f, max %.3f ms\n"
        "  arrival - (due%s): mean %.3f ms; |error| p50 %.3f, p99 %.3f, max %.3f ms\n",
        scheduled ? "scheduled" : "sent at once", heard.size(), stepCount, woke.p99, woke.max, meanOf(intervals),
        interval.p99, interval.max, scheduled ? " + 10 ms" : "", meanOf(errors), error.p50, error.p99, error.max);
}

template <class Port>
void open(Port& port, const std::vector<MidiDevice>& devices, const std::string& name) {
    const auto named = [&](const MidiDevice& device) { return device.name == name; };
    port.setDeviceID(static_cast<std::int16_t>(std::find_if(devices.begin(), devices.end(), named) - devices.begin()));
    port.setAction(ActionOpen);
}

// The program's thru: the input's thread takes the message in, the UI thread
// sends it on. One message a millisecond on average, at random offsets.
void thru(AlsaBackend& backend, SequencerPeer& peer) {
    testing::ManualUiThread ui;
    MIDIInput input(backend, ui);
    MIDIOutput output(backend, ui);
    open(input, backend.inputDevices(), peer.keys());
    open(output, backend.outputDevices(), peer.synth());
    input.setAction(ActionStart);
    int forwarded = 0;
    input.onMessage = [&] {
        for (; input.MessageCount() > 0; ++forwarded, input.setAction(ActionNext)) {
            output.send(input.Message(), input.Data1(), input.Data2());
        }
    };
    peer.forget();
    const auto messages = testing::numberedMessages(thruMessages);
    std::vector<Clock::time_point> played(messages.size());
    std::thread keyboard([&] {
        std::mt19937 random(12);
        std::uniform_int_distribution<int> offset(0, 999);
        const auto start = Clock::now() + 50ms;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(i) +
                                          std::chrono::microseconds(offset(random)));
            played[i] = Clock::now();
            peer.play({messages[i]});
        }
    });
    while (forwarded < thruMessages && ui.waitForTask(5s)) ui.runPending();
    keyboard.join();
    const auto heard = peer.waitFor(messages.size());
    std::vector<double> latencies;
    int unexpected = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
        if (heard[i].bytes != messages[i])
            ++unexpected;
        else
            latencies.push_back(ms(heard[i].at - played[i]));
    }
    const Spread spread = spreadOf(latencies);
    std::printf(
        "Thru, one message a millisecond: %zu of %d heard, %d out of place; latency p50 %.3f p99 %.3f max "
        "%.3f ms\n",
        heard.size(), thruMessages, unexpected, spread.p50, spread.p99, spread.max);
}

}  // namespace
}  // namespace marovane::bench

int main() {
    using namespace marovane;
    AlsaBackend backend;
    if (!backend.available()) {
        std::fprintf(stderr, "No ALSA sequencer here: run this in tests/support/alsa-vm/run-in-alsa-vm.sh.\n");
        return 1;
    }
    utsname system;
    uname(&system);
    std::printf("ALSA back end, measured inside an emulated machine (kernel %s, %ld processors)\n", system.release,
                static_cast<long>(std::thread::hardware_concurrency()));
    marovane::testing::SequencerPeer peer("Meter");
    bench::steps(backend, peer, true);
    bench::steps(backend, peer, false);
    bench::thru(backend, peer);
    return 0;
}
