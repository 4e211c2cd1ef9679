// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the ALSA back end on a real sequencer, as a synthesiser's queue
// stamps what it hears. Run inside the test machine, which is emulated and so
// slower and less steady than real hardware; scripts/bench.sh runs it as
//
//   tests/support/alsa-vm/run-in-alsa-vm.sh build/bench/alsa/marovane_alsa_measure docs/PERFORMANCE.md
//
// and it rewrites its block of that file. Not a test: the figures are
// printed, never asserted.

#include "../ProcStat.h"
#include "../ReportFile.h"
#include "../Spread.h"
#include "../Text.h"
#include "ports/AllSystemsBackend.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "ports/alsa/AlsaBackend.h"
#include "ports/alsa/SequencerClient.h"
#include "ports/alsa/TimedSender.h"
#include "ports/jack/JackBackend.h"
#include "support/Collectors.h"
#include "support/JackServer.h"
#include "support/ManualUiThread.h"
#include "support/alsa/SequencerPeer.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <sstream>
#include <thread>

namespace marovane::bench {
namespace {

using testing::SequencerPeer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int intervals = 200;
constexpr int thruMessages = 5000;
constexpr auto idleTime = 10s;

double ms(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

// CPU time of this process's threads but the peer's: the back end's reader
// and this thread, which sends as the window's thread would.
double programSeconds() {
    double seconds = 0;
    for (const ThreadUse& thread : threadUse(getpid())) {
        if (thread.name != "peer") seconds += thread.cpuSeconds;
    }
    return seconds;
}

// CPU used from one moment to another, as a share of one processor: the
// program's threads, and the whole machine (the peer, and the kernel's timer
// interrupts, included).
class CpuMeter {
public:
    CpuMeter() : start_(Clock::now()), program_(programSeconds()), machine_(machineBusySeconds()) {}
    std::string read() const {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return text("%.2f %% (program), %.2f %% (machine)", 100 * (programSeconds() - program_) / seconds,
                    100 * (machineBusySeconds() - machine_) / seconds);
    }

private:
    Clock::time_point start_;
    double program_;
    double machine_;
};

struct Row {
    std::string figure;
    std::string measured;
};

// A step clock as the window's timer runs it: it wakes at each step's time,
// as late as the system lets it, and sends the step's ending of the last note
// and its new note, with that time as their due time or without one.
std::vector<Row> steps(AlsaBackend& backend, SequencerPeer& synth, Clock::duration period, bool scheduled) {
    testing::Changes changes;
    auto output = backend.openOutput(testing::devicesNamed(backend.outputDevices(), synth.synth()).at(0), changes);
    synth.forget();
    const auto start = Clock::now() + 100ms;
    std::vector<double> late;  // how late the clock woke
    const CpuMeter cpu;
    for (int step = 0; step <= intervals; ++step) {
        const auto due = start + step * period;
        std::this_thread::sleep_until(due);
        late.push_back(ms(Clock::now() - due));
        const SendTime time = scheduled ? SendTime(due) : std::nullopt;
        const auto note = static_cast<unsigned char>(60 + step % 2);
        if (step > 0) output.connection->send({0x90, static_cast<unsigned char>(60 + (step - 1) % 2), 0}, time);
        output.connection->send({0x90, note, 100}, time);
    }
    const std::size_t expected = 2 * intervals + 1;
    const auto heard = synth.waitFor(expected);
    const std::string cpuUse = cpu.read();
    const auto aim = scheduled ? TimedSender::latency : 0ms;
    std::vector<double> errors, signedErrors, intervalErrors;
    double previous = 0, sum = 0;
    int notes = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
        const std::size_t step = (i + 1) / 2;  // the first step has no ending
        const double at = ms(heard[i].at - (start + step * period + aim));
        signedErrors.push_back(at);
        errors.push_back(std::abs(at));
        if (heard[i].bytes.at(2) == 0) continue;
        if (notes++ > 0) {
            const double interval = ms(heard[i].at - start) - previous;
            sum += interval;
            intervalErrors.push_back(std::abs(interval - ms(period)));
        }
        previous = ms(heard[i].at - start);
    }
    const Spread error = spreadOf(errors), interval = spreadOf(intervalErrors), woke = spreadOf(late);
    const double mean = intervalErrors.empty() ? 0 : sum / static_cast<double>(intervalErrors.size());
    const std::string leg =
        text("%.0f ms, %s: ", ms(period), scheduled ? "scheduled" : "sent at once (for comparison)");
    return {
        {leg + "messages heard", text("%zu of %zu", heard.size(), expected)},
        {leg + "mean interval between notes", text("%.4f ms (%+.4f %%)", mean, 100 * (mean / ms(period) - 1))},
        {leg + "abs(interval - period) p50 / p99 / max",
         text("%.3f / %.3f / %.3f ms", interval.p50, interval.p99, interval.max)},
        {leg + "arrival - (due time" + (scheduled ? " + 10 ms" : "") +
             "), notes and endings: mean; abs p50 / p99 / max",
         text("%+.3f; %.3f / %.3f / %.3f ms", meanOf(signedErrors), error.p50, error.p99, error.max)},
        {leg + "how late the sending thread woke, p99 / max", text("%.3f / %.3f ms", woke.p99, woke.max)},
        {leg + "CPU while playing", cpuUse},
    };
}

template <class Port>
void open(Port& port, const std::vector<MidiDevice>& devices, const std::string& name) {
    const auto named = [&](const MidiDevice& device) { return device.name == name; };
    port.setDeviceID(static_cast<std::int16_t>(std::find_if(devices.begin(), devices.end(), named) - devices.begin()));
    port.setAction(ActionOpen);
}

// The program's thru: the input's thread takes the message in, the UI thread
// sends it on. One message a millisecond on average, at random offsets.
// Before it, what both ports started and waiting cost.
std::vector<Row> thru(AlsaBackend& backend, SequencerPeer& peer) {
    testing::ManualUiThread ui;
    MIDIInput input(backend, ui);
    MIDIOutput output(backend, ui);
    open(input, backend.inputDevices(), peer.keys());
    open(output, backend.outputDevices(), peer.synth());
    input.setAction(ActionStart);
    while (peer.queueRuns("Marovane")) std::this_thread::sleep_for(100ms);
    const CpuMeter idle;
    std::this_thread::sleep_for(idleTime);
    const std::string idleUse = idle.read();

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
    return {
        {"Idle, both ports started, over 10 s: CPU", idleUse},
        {"Thru, one message a millisecond: heard, out of place",
         text("%zu of %d, %d", heard.size(), thruMessages, unexpected)},
        {"Thru latency p50 / p99 / max", text("%.3f / %.3f / %.3f ms", spread.p50, spread.p99, spread.max)},
    };
}

// What a running JACK server adds while idle: the program's client on it too,
// the input on the peer's keyboard (and JACK's "Marovane In"), the output -1
// ("Marovane Out" on both systems).
std::vector<Row> idleOnBothSystems(AlsaBackend& backend, SequencerPeer& peer) {
    testing::JackServer server;
    server.SetUp();
    const std::string label = "Idle with a jackd (dummy, 64 frames) too, over 10 s: CPU, ";
    if (!testing::JackServer::unavailable().empty())
        return {{label + "not measured", testing::JackServer::unavailable()}};
    const CpuMeter jackdAlone;
    std::this_thread::sleep_for(idleTime);
    std::vector<Row> rows{{label + "jackd alone", jackdAlone.read()}};
    {
        JackBackend jack;
        AllSystemsBackend midi(backend, jack);
        testing::ManualUiThread ui;
        MIDIInput input(midi, ui);
        MIDIOutput output(midi, ui);
        open(input, midi.inputDevices(), peer.keys());
        output.setDeviceID(-1);
        output.setAction(ActionOpen);
        input.setAction(ActionStart);
        while (peer.queueRuns("Marovane")) std::this_thread::sleep_for(100ms);
        const CpuMeter both;
        std::this_thread::sleep_for(idleTime);
        rows.push_back({label + "ports started on both systems", both.read()});
    }
    server.TearDown();
    return rows;
}

std::string now() {
    const std::time_t time = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&time));
    return date;
}

std::string block(const std::vector<Row>& rows, const std::string& floor, Clock::duration tick) {
    utsname system;
    uname(&system);
    std::ostringstream out;
    out << blockBegin("bench-alsa") << ": written by marovane_alsa_measure, replaced on every run -->\n"
        << "## Latest run on the ALSA sequencer\n\n"
        << "Produced by `bash scripts/bench.sh` on " << now() << ", inside the emulated machine (kernel "
        << system.release << ", " << std::thread::hardware_concurrency()
        << " processors). The queue's timer beats every "
        << text("%.0f", std::chrono::duration<double, std::micro>(tick).count())
        << " µs. The machine alone with the peer, before the back end opened anything, used " << floor << ".\n\n"
        << "| Figure | Measured |\n|---|---|\n";
    for (const Row& row : rows) out << "| " << row.figure << " | " << row.measured << " |\n";
    out << blockEnd("bench-alsa") << "\n";
    return out.str();
}

}  // namespace
}  // namespace marovane::bench

int main(int argc, char** argv) {
    using namespace marovane;
    using namespace std::chrono_literals;
    AlsaBackend backend;
    if (!backend.available()) {
        std::fprintf(stderr, "No ALSA sequencer here: run this in tests/support/alsa-vm/run-in-alsa-vm.sh.\n");
        return 1;
    }
    marovane::testing::SequencerPeer peer("Meter", SequencerClient::timerHz);
    const bench::CpuMeter alone;
    std::this_thread::sleep_for(bench::idleTime);
    const std::string floor = alone.read();

    std::vector<bench::Row> rows;
    for (const auto& [period, scheduled] : {std::pair{50ms, true}, {500ms, true}, {50ms, false}}) {
        for (auto& row : bench::steps(backend, peer, period, scheduled)) rows.push_back(std::move(row));
    }
    for (auto& row : bench::thru(backend, peer)) rows.push_back(std::move(row));
    for (auto& row : bench::idleOnBothSystems(backend, peer)) rows.push_back(std::move(row));

    PortError error;
    const auto client = SequencerClient::open(error);
    const std::string report = bench::block(rows, floor, client ? client->tick() : 0ns);
    std::printf("%s", report.c_str());
    if (argc > 1) bench::writeBlock(argv[1], "bench-alsa", report);
    return 0;
}
