// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/DeviceErrors.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "ports/alsa/AlsaBackend.h"
#include "ports/alsa/SequencerClient.h"
#include "ports/alsa/TimedSender.h"
#include "support/Collectors.h"
#include "support/ManualUiThread.h"
#include "support/alsa/SequencerPeer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <semaphore>
#include <set>
#include <thread>
#include <utility>

namespace marovane {
namespace {

using testing::Bytes;
using testing::devicesNamed;
using testing::SequencerPeer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char through[] = "Midi Through:Midi Through Port-0";
constexpr char ownIn[] = "Marovane:Marovane In";
constexpr char ownOut[] = "Marovane:Marovane Out";

// Every channel message family, on several channels, bends at both ends,
// and every system message but system exclusive.
const std::vector<Bytes> families{
    {0x90, 60, 100},  {0x93, 60, 0} /* stays a note-on */,
    {0x81, 60, 64},   {0xA2, 61, 30},
    {0xB4, 7, 99},    {0xC5, 5},
    {0xD6, 70},       {0xE7, 0, 64},
    {0xE8, 127, 127}, {0xEF, 0, 0},
    {0xF1, 16},       {0xF2, 1, 127},
    {0xF3, 3},        {0xF6},
    {0xF8},           {0xFA},
    {0xFB},           {0xFC},
    {0xFE},           {0xFF},
};

using Errors = std::vector<std::pair<std::int16_t, std::string>>;

template <class Port>
void choose(Port& port, const std::string& device, Errors& errors) {
    port.onError = [&errors](std::int16_t code, const std::string& text) { errors.emplace_back(code, text); };
    for (std::int16_t id = 0; id < port.DeviceCount(); ++id) {
        port.setDeviceID(id);
        if (port.ProductName() == device) break;
    }
    port.setAction(ActionOpen);
}

std::vector<std::string> names(const std::vector<MidiDevice>& devices) {
    std::vector<std::string> names;
    for (const auto& device : devices) names.push_back(device.name);
    return names;
}

class AlsaBackendTest : public ::testing::Test {
protected:
    MidiDevice listedInput(const std::string& name) { return devicesNamed(backend_.inputDevices(), name).at(0); }
    MidiDevice listedOutput(const std::string& name) { return devicesNamed(backend_.outputDevices(), name).at(0); }

    // In this order so that the back end, whose thread calls the sinks, goes first.
    testing::Collector received_;
    testing::Changes changes_;
    SequencerPeer peer_{"Peer"};
    AlsaBackend backend_;
};

TEST_F(AlsaBackendTest, ListsOtherClientsPortsButNeverItsOwnOrTheSystemsOrUnexported) {
    peer_.addPort("unexported", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_WRITE |
                                    SND_SEQ_PORT_CAP_SUBS_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT);
    auto input = backend_.openInput(listedInput(peer_.keys()), received_, changes_);
    auto output = backend_.openVirtualOutput(changes_);
    ASSERT_TRUE(input.connection && output.connection) << input.error.text << output.error.text;

    EXPECT_EQ(names(backend_.inputDevices()), (std::vector<std::string>{through, peer_.keys()}));
    EXPECT_EQ(names(backend_.outputDevices()), (std::vector<std::string>{through, peer_.synth()}));
    EXPECT_EQ(listedInput(through).id, "14:0");
    EXPECT_EQ(backend_.virtualOutputName(), "Marovane Out");
    const MidiDevice gone{listedInput(peer_.keys()).id, "Gone:away"};  // its number passed to another client
    EXPECT_EQ(backend_.openInput(gone, received_, changes_).error.text,
              noSuchDevice("Gone:away", PortDirection::Input).text);
    EXPECT_EQ(backend_.openOutput({"128:1", ownOut}, changes_).error.code, ErrorNoSuchDevice);
}

// Two clients of the same name, as two keyboards of one make are: each
// listed entry reaches its own device, in both directions, and the port
// components tell the entries apart by their addresses.
TEST_F(AlsaBackendTest, DevicesOfTheSameNameAreToldApartByTheirAddress) {
    SequencerPeer first("Twin");
    SequencerPeer second("Twin");
    const auto keys = devicesNamed(backend_.inputDevices(), "Twin:keys");
    const auto synths = devicesNamed(backend_.outputDevices(), "Twin:synth");
    ASSERT_EQ(keys.size(), 2u);
    ASSERT_EQ(synths.size(), 2u);

    auto input = backend_.openInput(keys[1], received_, changes_);
    auto output = backend_.openOutput(synths[1], changes_);
    ASSERT_TRUE(input.connection && output.connection) << input.error.text << output.error.text;
    first.play({{0x90, 1, 1}});
    second.play({{0x90, 2, 2}});
    ASSERT_EQ(output.connection->send({0x90, 3, 3}, {}).code, 0);
    EXPECT_EQ(received_.waitFor(1), (std::vector<Bytes>{{0x90, 2, 2}}));
    EXPECT_EQ(second.bytesHeard(1), (std::vector<Bytes>{{0x90, 3, 3}}));
    EXPECT_EQ(first.heardCount(), 0u);

    testing::ManualUiThread ui;
    MIDIInput port(backend_, ui);
    std::vector<std::string> entries;
    for (std::int16_t id = 0; id < port.DeviceCount(); ++id) {
        port.setDeviceID(id);
        entries.push_back(port.ProductName());
    }
    EXPECT_EQ(entries, (std::vector<std::string>{through, peer_.keys(), "Twin:keys (" + keys[0].id + ")",
                                                 "Twin:keys (" + keys[1].id + ")"}));
}

TEST_F(AlsaBackendTest, ADeviceIsASubscriptionOfTheProgramsWhileItIsOpen) {
    auto input = backend_.openInput(listedInput(peer_.keys()), received_, changes_);
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(input.connection && output.connection) << input.error.text << output.error.text;
    EXPECT_TRUE(peer_.connected(peer_.keys(), ownIn));
    EXPECT_TRUE(peer_.connected(ownOut, peer_.synth()));

    input.connection.reset();
    output = backend_.openVirtualOutput(changes_);

    EXPECT_FALSE(peer_.connected(peer_.keys(), ownIn));
    EXPECT_FALSE(peer_.connected(ownOut, peer_.synth()));
}

// The ports outlive their components' closing, so a connection a user made
// with aconnect holds; so does one the program would have made itself.
TEST_F(AlsaBackendTest, SubscriptionsOthersMadeSurviveClosingAndReopening) {
    auto input = backend_.openInput(listedInput(through), received_, changes_);
    auto output = backend_.openVirtualOutput(changes_);
    peer_.connect(peer_.keys(), ownIn);
    peer_.connect(ownOut, peer_.synth());

    input.connection.reset();
    output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    output.connection.reset();
    input = backend_.openInput(listedInput(through), received_, changes_);
    output = backend_.openVirtualOutput(changes_);
    ASSERT_TRUE(input.connection && output.connection) << input.error.text << output.error.text;

    EXPECT_TRUE(peer_.connected(peer_.keys(), ownIn));
    EXPECT_TRUE(peer_.connected(ownOut, peer_.synth()));
    peer_.play({{0x90, 1, 2}});
    EXPECT_EQ(output.connection->send({0x91, 3, 4}, {}).code, 0);
    EXPECT_EQ(received_.waitFor(1), (std::vector<Bytes>{{0x90, 1, 2}}));
    EXPECT_EQ(peer_.bytesHeard(1), (std::vector<Bytes>{{0x91, 3, 4}}));
}

// System exclusive is not taken in.
TEST_F(AlsaBackendTest, EveryFamilyPassesUnchangedBothWays) {
    auto input = backend_.openInput(listedInput(peer_.keys()), received_, changes_);
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(input.connection && output.connection) << input.error.text << output.error.text;
    std::vector<Bytes> played{{0xF0, 0x7D, 1, 2, 0xF7}};
    played.insert(played.end(), families.begin(), families.end());

    peer_.play(played);
    for (const Bytes& message : families) EXPECT_EQ(output.connection->send(message, {}).code, 0);

    EXPECT_EQ(received_.waitFor(families.size()), families);
    EXPECT_EQ(peer_.bytesHeard(families.size()), families);
}

// Played as fast as the sequencer carries it: the keyboard keeps up to 1,500
// messages on their way, more than a client's default pool (200) holds, so
// that the program's pools must be sized. Taken in by the input's thread and
// sent on by the UI thread, as the program's thru does.
TEST_F(AlsaBackendTest, AFloodIsForwardedWholeAndInOrder) {
    testing::ManualUiThread ui;
    MIDIInput input(backend_, ui);
    MIDIOutput output(backend_, ui);
    Errors errors;
    choose(input, peer_.keys(), errors);
    choose(output, peer_.synth(), errors);
    input.setAction(ActionStart);
    std::size_t forwarded = 0;
    input.onMessage = [&] {
        for (; input.MessageCount() > 0; ++forwarded, input.setAction(ActionNext)) {
            output.send(input.Message(), input.Data1(), input.Data2());
        }
    };
    const auto flood = testing::numberedMessages(10000);

    std::thread keyboard([&] { peer_.play(flood, 1500); });
    while (forwarded < flood.size() && ui.waitForTask(10s)) ui.runPending();
    keyboard.join();

    EXPECT_TRUE(testing::sameMessages(peer_.bytesHeard(flood.size()), flood));
    EXPECT_EQ(errors, Errors{});
}

// Its port going, or its whole client, closes the ports it feeds, and is
// said once though the sequencer announces each port and then the client.
TEST_F(AlsaBackendTest, ADeviceThatGoesIsReportedOnceOnThePortItFeeds) {
    for (const bool wholeClient : {false, true}) {
        SCOPED_TRACE(wholeClient ? "client quits" : "ports go");
        auto leaving = std::make_unique<SequencerPeer>("Leaving");
        testing::ManualUiThread ui;
        MIDIInput input(backend_, ui);
        MIDIOutput output(backend_, ui);
        Errors inputErrors, outputErrors;
        choose(input, "Leaving:keys", inputErrors);
        choose(output, "Leaving:synth", outputErrors);
        ASSERT_EQ(input.State() + output.State(), 2 * StateOpen);

        if (wholeClient)
            leaving.reset();
        else
            leaving->removePorts();
        while ((inputErrors.empty() || outputErrors.empty()) && ui.waitForTask(5s)) ui.runPending();
        std::this_thread::sleep_for(200ms);  // the rest of the announcements
        ui.runPending();

        const PortError keysGone = deviceGone("Leaving:keys", PortDirection::Input);
        const PortError synthGone = deviceGone("Leaving:synth", PortDirection::Output);
        EXPECT_EQ(inputErrors, (Errors{{keysGone.code, keysGone.text}}));
        EXPECT_EQ(outputErrors, (Errors{{synthGone.code, synthGone.text}}));
        EXPECT_EQ(input.State() + output.State(), 2 * StateClosed);
    }
}

// Holds the back end's reader in its first delivery until let go, so that
// what the sequencer has for the program piles up behind it.
struct HeldSink : ReceiveSink {
    void received(const unsigned char*, std::size_t) override {
        held.release();
        letGo.acquire();
        letGo.release();
    }
    void overflowed() override {}
    std::counting_semaphore<> held{0}, letGo{0};
};

// The sequencer empties the program's input pool when it overflows, and with
// it the announcement of a device that went meanwhile: both are told, once.
TEST_F(AlsaBackendTest, AnOverflowIsToldOnceAndADeviceLostInItIsFound) {
    auto leaving = std::make_unique<SequencerPeer>("Leaving");
    testing::ManualUiThread ui;
    MIDIInput input(backend_, ui);
    Errors errors;
    choose(input, leaving->keys(), errors);
    input.setAction(ActionStart);
    HeldSink held;
    auto holding = backend_.openInput(listedInput(through), held, changes_);
    ASSERT_TRUE(holding.connection) << holding.error.text;

    leaving->play({{0x90, 1, 1}});
    ASSERT_TRUE(held.held.try_acquire_for(10s));
    leaving->flood(testing::numberedMessages(2500));  // the pool holds 2,000
    leaving.reset();
    held.letGo.release();
    while (errors.size() < 2 && ui.waitForTask(5s)) ui.runPending();
    std::this_thread::sleep_for(200ms);  // anything told twice
    ui.runPending();

    const PortError lost = systemOverflow();
    const PortError gone = deviceGone("Leaving:keys", PortDirection::Input);
    EXPECT_EQ(errors, (Errors{{lost.code, lost.text}, {gone.code, gone.text}}));
}

// The process's descriptors of the sequencer.
std::set<int> sequencerFds() {
    std::set<int> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry, error) == "/dev/snd/seq")
            fds.insert(std::stoi(entry.path().filename()));
    }
    return fds;
}

// The back end's handle breaks under its reader: its descriptor becomes a
// pipe's end without a reader, which polls as an error. Every port closes,
// the loss is told once, and the next use opens the sequencer anew.
TEST_F(AlsaBackendTest, ASequencerThatBreaksIsToldOnceAndOpenedAgain) {
    const auto others = sequencerFds();
    testing::ManualUiThread ui;
    MIDIInput input(backend_, ui);
    MIDIOutput output(backend_, ui);
    Errors errors;
    choose(input, peer_.keys(), errors);
    output.onError = input.onError;
    output.setDeviceID(-1);  // the program's own port alone
    output.setAction(ActionOpen);
    ASSERT_EQ(input.State() + output.State(), 2 * StateOpen);
    std::vector<int> own;
    std::ranges::set_difference(sequencerFds(), others, std::back_inserter(own));
    ASSERT_EQ(own.size(), 1u);
    const int kept = dup(own[0]);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    dup2(pipeEnds[1], own[0]);
    close(pipeEnds[1]);

    peer_.play({{0x90, 1, 1}});  // wakes the reader
    const bool told = ui.waitForTask(5s);
    dup2(kept, own[0]);
    close(kept);
    ASSERT_TRUE(told);
    while (input.State() + output.State() > 0 && ui.waitForTask(5s)) ui.runPending();
    std::this_thread::sleep_for(200ms);  // anything told twice
    ui.runPending();
    const PortError lost = alsaSequencerLost();
    EXPECT_EQ(errors, (Errors{{lost.code, lost.text}}));

    choose(input, peer_.keys(), errors);
    input.setAction(ActionStart);
    peer_.play({{0x90, 2, 2}});
    while (input.MessageCount() == 0 && ui.waitForTask(5s)) ui.runPending();
    EXPECT_EQ(input.Data1(), 2);
}

// Times as the synthesiser's queue stamps them on arrival. The tolerance is
// wide, for an emulated machine: it tells a message scheduled from one sent
// at once, not how precise the timer is.
constexpr auto arrivalTolerance = 20ms;

TEST_F(AlsaBackendTest, ScheduledMessagesSoundAtTheirTimePlusTheLatency) {
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(output.connection) << output.error.text;
    const auto near = [&](Clock::time_point at, Clock::time_point expected) {
        return at > expected - arrivalTolerance && at < expected + arrivalTolerance;
    };

    const auto due = Clock::now() + 150ms;
    ASSERT_EQ(output.connection->send({0x90, 60, 100}, due).code, 0);
    ASSERT_EQ(output.connection->send({0x90, 60, 0}, {}).code, 0);  // never before the one sent earlier
    const auto scheduled = peer_.waitFor(2);
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_TRUE(near(scheduled[0].at, due + TimedSender::latency));
    EXPECT_TRUE(near(scheduled[1].at, due + TimedSender::latency));
    EXPECT_LE(scheduled[0].at, scheduled[1].at);
    EXPECT_EQ(scheduled[1].bytes, (Bytes{0x90, 60, 0}));

    const auto sentLate = Clock::now();
    ASSERT_EQ(output.connection->send({0x90, 62, 100}, sentLate - 50ms).code, 0);  // its time has passed
    const auto late = peer_.waitFor(3);
    ASSERT_EQ(late.size(), 3u);
    EXPECT_TRUE(near(late[2].at, sentLate));
}

// A step's messages whose time passes while the queue is being set going
// still go, at once: stamped before the queue's start, they would never leave.
TEST(TimedSenderTest, AMessageIsNeverAimedBeforeTheQueuesNowNorBeforeOneWaiting) {
    constexpr std::int64_t ms = 1'000'000;
    const auto steadyNow = Clock::now();
    const std::int64_t latency = TimedSender::latency / 1ms * ms;
    constexpr auto early = 80us;                                      // half a beat of the queue's timer
    const auto steadyToQueue = 500ms - steadyNow.time_since_epoch();  // the queue's 500 ms is the steady clock's now
    struct Case {
        std::int64_t queueNow;
        SendTime due;
        std::int64_t notBefore;
        std::int64_t expected;
    };
    const std::vector<Case> cases{
        {500 * ms, steadyNow + 40ms, 0, 540 * ms + latency - early / 1ns},
        {500 * ms, {}, 0, 500 * ms},
        {500 * ms, steadyNow - 1s, 0, 500 * ms},
        {0, steadyNow - 1s, 0, 0},
        {500 * ms, {}, 530 * ms, 530 * ms},
        {500 * ms, steadyNow, 600 * ms, 600 * ms},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(TimedSender::queueTime(c.queueNow, steadyToQueue, c.due, c.notBefore, early), c.expected)
            << "case " << i;
    }
}

// The device's subscription goes with the output: what waits on the queue
// goes at once before it, or the queue would hand it to nobody.
TEST_F(AlsaBackendTest, ClosingAnOutputSendsWhatWaitsAtOnce) {
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(output.connection) << output.error.text;
    ASSERT_EQ(output.connection->send({0x90, 60, 100}, Clock::now() + 30s).code, 0);
    ASSERT_EQ(output.connection->send({0x90, 60, 0}, {}).code, 0);

    output.connection.reset();
    EXPECT_EQ(peer_.bytesHeard(2), (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 60, 0}}));
    EXPECT_FALSE(peer_.connected(ownOut, peer_.synth()));
}

// How often this process's thread of that name has slept and been woken.
long wakeUps(const std::string& thread) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm"), status(task.path() / "status");
        std::string line;
        if (!std::getline(comm, line) || line != thread) continue;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
        }
    }
    return -1;
}

// A scheduled message that leaves frees room in the client's output pool, and
// freed room wakes every poll on the client's handle: the reader, which polls
// for input, sleeps on while the notes play.
TEST_F(AlsaBackendTest, ScheduledNotesLeaveWithoutWakingTheReader) {
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(output.connection) << output.error.text;
    const long before = wakeUps("ALSA reader");
    ASSERT_GE(before, 0);
    const auto start = Clock::now();
    for (int step = 0; step < 20; ++step) {
        const auto velocity = static_cast<unsigned char>(step % 2 == 0 ? 100 : 0);
        ASSERT_EQ(output.connection->send({0x90, 60, velocity}, start + step * 5ms).code, 0);
    }
    ASSERT_EQ(peer_.waitFor(20).size(), 20U);
    EXPECT_LT(wakeUps("ALSA reader") - before, 5);
}

// A running queue wakes the kernel at every beat of its high-resolution
// timer: the back end's runs only from a scheduled message until at most two
// seconds after the last, and plays on time when it is set going again.
TEST_F(AlsaBackendTest, TheQueueRunsOnlyWhileItHasSomethingToPlay) {
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(output.connection) << output.error.text;
    std::ifstream timers("/proc/asound/timers");  // lists the high-resolution one as "G3:"
    if (std::string(std::istreambuf_iterator<char>(timers), {}).find("G3:") != std::string::npos) {
        const SequencerPeer::QueueTimer timer = peer_.queueTimer("Marovane");
        EXPECT_EQ(timer.device, SND_TIMER_GLOBAL_HRTIMER);
        EXPECT_EQ(timer.hz, SequencerClient::timerHz);
    }
    ASSERT_EQ(output.connection->send({0x90, 60, 100}, {}).code, 0);
    EXPECT_FALSE(peer_.queueRuns("Marovane"));

    ASSERT_EQ(output.connection->send({0x90, 60, 0}, Clock::now()).code, 0);
    EXPECT_TRUE(peer_.queueRuns("Marovane"));
    std::this_thread::sleep_for(2500ms);
    EXPECT_FALSE(peer_.queueRuns("Marovane"));

    const auto due = Clock::now() + 100ms;
    ASSERT_EQ(output.connection->send({0x90, 62, 100}, due).code, 0);
    const auto heard = peer_.waitFor(3);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_GT(heard[2].at, due + TimedSender::latency - arrivalTolerance);
    EXPECT_LT(heard[2].at, due + TimedSender::latency + arrivalTolerance);
}

// Messages scheduled far ahead fill the client's output pool; sending never
// waits for room: the first refusal is an error, the next ones are skipped.
TEST_F(AlsaBackendTest, AFullOutputIsSaidOnceThenSkipped) {
    auto output = backend_.openOutput(listedOutput(peer_.synth()), changes_);
    ASSERT_TRUE(output.connection) << output.error.text;
    const auto later = Clock::now() + 60s;
    std::vector<std::int16_t> refused;
    for (int sent = 0; sent < 2100; ++sent) {
        const auto error = output.connection->send({0x90, 60, 1}, later);
        if (error.code != 0) refused.push_back(error.code);
    }
    refused.push_back(output.connection->send({0x90, 60, 0}, {}).code);  // after them, so waits too

    ASSERT_GE(refused.size(), 2u);
    EXPECT_EQ(refused.front(), ErrorSendFailed);
    EXPECT_EQ(std::count(refused.begin(), refused.end(), ErrorNotDone), refused.size() - 1);
}

}  // namespace
}  // namespace marovane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!marovane::AlsaBackend().available()) {
        std::cerr << "No ALSA sequencer here: these tests run in the virtual machine of tests/support/alsa-vm.\n";
        return 77;
    }
    return RUN_ALL_TESTS();
}
