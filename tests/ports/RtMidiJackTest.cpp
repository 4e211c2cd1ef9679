#include "ports/JackPeers.h"
#include "ports/JackServer.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "ports/ManualUiThread.h"
#include "ports/RtMidiBackend.h"

#include <RtMidi.h>
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace marovane {
namespace {

using testing::Collector;
using testing::letJackCatchUp;
using testing::send;

using namespace std::chrono_literals;
using testing::Bytes;

const Bytes kNoteOn{0x90, 60, 100};
const Bytes kProgramChange{0xC0, 5};
const Bytes kTuneRequest{0xF6};

std::vector<std::string> jackPorts(RtMidi& lister) {
    std::vector<std::string> names;
    for (unsigned i = 0; i < lister.getPortCount(); ++i) names.push_back(lister.getPortName(i));
    return names;
}

// Every MIDI port that can be read from / written to, as JACK itself lists
// them: the back end's own ports included.
std::vector<std::string> allSources() {
    RtMidiIn lister(RtMidi::UNIX_JACK, "test-lister");
    return jackPorts(lister);
}

std::vector<std::string> allDestinations() {
    RtMidiOut lister(RtMidi::UNIX_JACK, "test-lister");
    return jackPorts(lister);
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Other programs' ports, made directly with RtMidi: a keyboard that plays
// into the back end's inputs and a synthesiser that its outputs play to.
class RtMidiJackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::JackServer::unavailable().empty()) GTEST_SKIP() << testing::JackServer::unavailable();
        keyboard_.openVirtualPort("keys");
        synth_.setCallback(&Collector::deliver, &heard_);
        synth_.openVirtualPort("synth");
    }

    // RtMidi 5 frees a JACK output's buffer before it closes the client,
    // while a process cycle may still read it: the port goes first.
    void TearDown() override {
        keyboard_.closePort();
        letJackCatchUp();
    }

    static constexpr char kKeyboard[] = "PeerKeyboard:keys";
    static constexpr char kSynth[] = "PeerSynth:synth";

    // In this order so that each goes before what it uses: the back end
    // before the peers, the peers before the collectors they call.
    Collector heard_;
    Collector received_;
    RtMidiOut keyboard_{RtMidi::UNIX_JACK, "PeerKeyboard"};
    RtMidiIn synth_{RtMidi::UNIX_JACK, "PeerSynth"};
    RtMidiBackend backend_{{MidiSystem::Jack}};
};

TEST_F(RtMidiJackTest, ListsOtherClientsPortsButNeverItsOwn) {
    auto virtualOut = backend_.openVirtualOutput();
    auto input = backend_.openInput(kKeyboard, received_);
    ASSERT_TRUE(virtualOut.connection) << virtualOut.error.text;
    ASSERT_TRUE(input.connection) << input.error.text;
    // The own ports exist in JACK under the names other programs see ...
    ASSERT_TRUE(contains(allSources(), "Marovane:Marovane Out"));
    ASSERT_TRUE(contains(allDestinations(), "Marovane In:Marovane In"));

    // ... yet the listings show only the peers.
    EXPECT_EQ(backend_.inputDevices(), std::vector<std::string>{kKeyboard});
    EXPECT_EQ(backend_.outputDevices(), std::vector<std::string>{kSynth});
    EXPECT_EQ(backend_.virtualOutputName(), "Marovane Out");
}

// JACK wakes every open client in every period, so the back end keeps none
// open just for listing: each listing opens and closes its own. A name that
// can be taken exactly is free.
TEST_F(RtMidiJackTest, ListingLeavesNoClientOpen) {
    ASSERT_EQ(backend_.inputDevices(), std::vector<std::string>{kKeyboard});
    ASSERT_EQ(backend_.outputDevices(), std::vector<std::string>{kSynth});

    for (const char* lister : {"Marovane Input List", "Marovane Output List"}) {
        jack_status_t status{};
        jack_client_t* client = jack_client_open(lister, JackOptions(JackNoStartServer | JackUseExactName), &status);
        EXPECT_NE(client, nullptr) << lister << " is still open";
        if (client) jack_client_close(client);
    }
}

TEST_F(RtMidiJackTest, InputReceivesPeerMessagesUnchangedAndInOrder) {
    auto input = backend_.openInput(kKeyboard, received_);
    ASSERT_TRUE(input.connection) << input.error.text;
    EXPECT_EQ(input.error.code, 0);

    send(keyboard_, {kNoteOn, kProgramChange, kTuneRequest});

    EXPECT_EQ(received_.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, InputIgnoresClockAndActiveSensing) {
    auto input = backend_.openInput(kKeyboard, received_);
    ASSERT_TRUE(input.connection) << input.error.text;

    send(keyboard_, {{0xF8}, {0xFE}, kNoteOn});

    EXPECT_EQ(received_.waitFor(1), std::vector<Bytes>{kNoteOn});
}

TEST_F(RtMidiJackTest, ClosedInputNeverCallsTheSinkAgain) {
    auto input = backend_.openInput(kKeyboard, received_);
    ASSERT_TRUE(input.connection) << input.error.text;
    send(keyboard_, {kNoteOn});
    ASSERT_EQ(received_.waitFor(1).size(), 1u);

    input.connection.reset();
    EXPECT_FALSE(contains(allDestinations(), "Marovane In:Marovane In"));
    send(keyboard_, {kProgramChange, kTuneRequest});
    std::this_thread::sleep_for(300ms);  // some hundred JACK cycles

    EXPECT_EQ(received_.messages(), std::vector<Bytes>{kNoteOn});
}

TEST_F(RtMidiJackTest, VirtualOutputReachesAPeerThatConnectsToIt) {
    auto output = backend_.openVirtualOutput();
    ASSERT_TRUE(output.connection) << output.error.text;
    Collector heard;
    RtMidiIn peer(RtMidi::UNIX_JACK, "PeerListener");
    peer.setCallback(&Collector::deliver, &heard);
    const auto sources = jackPorts(peer);
    const auto own = std::find_if(sources.begin(), sources.end(),
                                  [](const std::string& name) { return name.find("Marovane") != std::string::npos; });
    ASSERT_NE(own, sources.end());
    peer.openPort(static_cast<unsigned>(own - sources.begin()), "in");
    letJackCatchUp();

    for (const Bytes& message : {kNoteOn, kProgramChange, kTuneRequest})
        EXPECT_EQ(output.connection->send(message).code, 0);

    EXPECT_EQ(heard.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, OutputOpensAPeerByItsListedName) {
    auto output = backend_.openOutput(kSynth);
    ASSERT_TRUE(output.connection) << output.error.text;

    for (const Bytes& message : {kNoteOn, kProgramChange, kTuneRequest})
        EXPECT_EQ(output.connection->send(message).code, 0);

    EXPECT_EQ(heard_.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, DevicesThatAreNotListedCannotBeOpened) {
    auto input = backend_.openInput("Gone:away", received_);
    EXPECT_FALSE(input.connection);
    EXPECT_EQ(input.error.code, ErrorNoSuchDevice);
    EXPECT_EQ(input.error.text, "The MIDI input device \"Gone:away\" is no longer there.");

    auto output = backend_.openOutput("Gone:away");
    EXPECT_FALSE(output.connection);
    EXPECT_EQ(output.error.code, ErrorNoSuchDevice);
    EXPECT_EQ(output.error.text, "The MIDI output device \"Gone:away\" is no longer there.");

    // The own ports are not listed, so a thru cannot be opened onto itself.
    auto virtualOut = backend_.openVirtualOutput();
    ASSERT_TRUE(virtualOut.connection) << virtualOut.error.text;
    EXPECT_EQ(backend_.openInput("Marovane:Marovane Out", received_).error.code, ErrorNoSuchDevice);
}

// The port components over the real back end: what the keyboard plays shows
// on the input, what the output plays reaches the synthesiser, and closing
// the output ends the note it left sounding.
TEST_F(RtMidiJackTest, PortComponentsCarryMessagesBothWays) {
    testing::ManualUiThread ui;
    MIDIInput input(backend_, ui);
    MIDIOutput output(backend_);
    std::vector<std::string> errors;
    const auto collectError = [&](std::int16_t, const std::string& text) { errors.push_back(text); };
    input.onError = collectError;
    output.onError = collectError;

    ASSERT_EQ(input.DeviceCount(), 1);
    ASSERT_EQ(output.DeviceCount(), 1);
    EXPECT_EQ(input.ProductName(), kKeyboard);
    EXPECT_EQ(output.ProductName(), kSynth);
    input.setAction(ActionOpen);
    input.setAction(ActionStart);
    output.setAction(ActionOpen);
    ASSERT_EQ(input.State(), StateStarted);
    ASSERT_EQ(output.State(), StateOpen);

    send(keyboard_, {kNoteOn, kProgramChange});
    while (input.MessageCount() < 2 && ui.waitForTask(5s)) ui.runPending();
    const auto shown = [&] { return std::vector<std::int16_t>{input.Message(), input.Data1(), input.Data2()}; };
    ASSERT_EQ(input.MessageCount(), 2);
    EXPECT_EQ(shown(), (std::vector<std::int16_t>{0x90, 60, 100}));
    input.setAction(ActionNext);
    EXPECT_EQ(shown(), (std::vector<std::int16_t>{0xC0, 5, 0}));

    output.send(0x91, 64, 90);
    output.setAction(ActionClose);
    EXPECT_EQ(heard_.waitFor(2), (std::vector<Bytes>{{0x91, 64, 90}, {0x91, 64, 0}}));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// Where the ALSA sequencer cannot be opened (no sound devices, as in a
// container) the default order falls back to JACK.
TEST_F(RtMidiJackTest, DefaultOrderFallsBackToJackWithoutAlsa) {
    try {
        RtMidiOut alsa(RtMidi::LINUX_ALSA);
        GTEST_SKIP() << "The ALSA sequencer is there, so it would be used.";
    } catch (const RtMidiError&) {
    }
    RtMidiBackend backend;

    EXPECT_EQ(backend.inputDevices(), std::vector<std::string>{kKeyboard});
}

// A server that is not there yet is looked for again at each use.
TEST_F(RtMidiJackTest, WithoutAServerReportsNoMidiSystemUntilOneAppears) {
    const std::string server = std::getenv("JACK_DEFAULT_SERVER");
    setenv("JACK_DEFAULT_SERVER", "marovane-test-nobody", 1);
    RtMidiBackend backend({MidiSystem::Jack});
    EXPECT_TRUE(backend.inputDevices().empty());
    const auto output = backend.openOutput(kSynth);
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);

    EXPECT_FALSE(output.connection);
    EXPECT_EQ(output.error.code, ErrorNoMidiSystem);
    EXPECT_EQ(output.error.text, "No MIDI system: no JACK server is running.");
    EXPECT_EQ(backend.inputDevices(), std::vector<std::string>{kKeyboard});
}

}  // namespace
}  // namespace marovane

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new marovane::testing::JackServer);
    return marovane::testing::JackServer::exitStatus(RUN_ALL_TESTS());
}
