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
    testing::Changes changes_;
    RtMidiOut keyboard_{RtMidi::UNIX_JACK, "PeerKeyboard"};
    RtMidiIn synth_{RtMidi::UNIX_JACK, "PeerSynth"};
    RtMidiBackend backend_{{MidiSystem::Jack}};
};

TEST_F(RtMidiJackTest, ListsOtherClientsPortsButNeverItsOwn) {
    auto virtualOut = backend_.openVirtualOutput(changes_);
    auto input = backend_.openInput(kKeyboard, received_, changes_);
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
    auto input = backend_.openInput(kKeyboard, received_, changes_);
    ASSERT_TRUE(input.connection) << input.error.text;
    EXPECT_EQ(input.error.code, 0);

    send(keyboard_, {kNoteOn, kProgramChange, kTuneRequest});

    EXPECT_EQ(received_.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, InputIgnoresClockAndActiveSensing) {
    auto input = backend_.openInput(kKeyboard, received_, changes_);
    ASSERT_TRUE(input.connection) << input.error.text;

    send(keyboard_, {{0xF8}, {0xFE}, kNoteOn});

    EXPECT_EQ(received_.waitFor(1), std::vector<Bytes>{kNoteOn});
}

TEST_F(RtMidiJackTest, ClosedInputNeverCallsTheSinkAgain) {
    auto input = backend_.openInput(kKeyboard, received_, changes_);
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
    auto output = backend_.openVirtualOutput(changes_);
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
        EXPECT_EQ(output.connection->send(message, {}).code, 0);

    EXPECT_EQ(heard.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, OutputOpensAPeerByItsListedName) {
    auto output = backend_.openOutput(kSynth, changes_);
    ASSERT_TRUE(output.connection) << output.error.text;

    for (const Bytes& message : {kNoteOn, kProgramChange, kTuneRequest})
        EXPECT_EQ(output.connection->send(message, {}).code, 0);

    EXPECT_EQ(heard_.waitFor(3), (std::vector<Bytes>{kNoteOn, kProgramChange, kTuneRequest}));
}

TEST_F(RtMidiJackTest, DevicesThatAreNotListedCannotBeOpened) {
    auto input = backend_.openInput("Gone:away", received_, changes_);
    EXPECT_FALSE(input.connection);
    EXPECT_EQ(input.error.code, ErrorNoSuchDevice);
    EXPECT_EQ(input.error.text, "The MIDI input device \"Gone:away\" is no longer there.");

    auto output = backend_.openOutput("Gone:away", changes_);
    EXPECT_FALSE(output.connection);
    EXPECT_EQ(output.error.code, ErrorNoSuchDevice);
    EXPECT_EQ(output.error.text, "The MIDI output device \"Gone:away\" is no longer there.");

    // The own ports are not listed, so a thru cannot be opened onto itself.
    auto virtualOut = backend_.openVirtualOutput(changes_);
    ASSERT_TRUE(virtualOut.connection) << virtualOut.error.text;
    EXPECT_EQ(backend_.openInput("Marovane:Marovane Out", received_, changes_).error.code, ErrorNoSuchDevice);
}

// RtMidi's JACK output moves all it was handed into the port's buffer at the
// next cycle and drops what does not fit (some 2,700 messages). Whether a
// burst overruns a cycle depends on how RtMidi's thread and the sender meet,
// so the flood comes in rounds; unpaced, most rounds lost messages.
TEST_F(RtMidiJackTest, OutputPassesFloodsOnWhole) {
    auto output = backend_.openOutput(kSynth, changes_);
    ASSERT_TRUE(output.connection) << output.error.text;

    constexpr std::size_t rounds = 5;
    constexpr std::size_t perRound = 10000;
    for (std::size_t round = 0; round < rounds; ++round) {
        for (const Bytes& message : testing::numberedMessages(perRound, round * perRound)) {
            ASSERT_EQ(output.connection->send(message, {}).code, 0);
        }
        letJackCatchUp();
    }

    EXPECT_TRUE(testing::sameMessages(heard_.waitFor(rounds * perRound), testing::numberedMessages(rounds * perRound)));
}

// A device goes when its port does, or its whole client: the connections to
// it are told, and then say why they no longer work. The program's own port
// is not affected, and a closed connection is told nothing more.
TEST_F(RtMidiJackTest, ConnectionsToADeviceThatGoesFail) {
    struct Peer {
        bool wholeClient;
        std::string client;
    };
    for (const Peer& peer : {Peer{false, "PeerLeaving"}, Peer{true, "PeerQuitting"}}) {
        SCOPED_TRACE(peer.client);
        auto keys = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, peer.client);
        keys->openVirtualPort("keys");
        auto synth = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, peer.client + "Synth");
        synth->openVirtualPort("synth");
        const std::string keysName = peer.client + ":keys";
        testing::letJackCatchUp();  // the news of earlier tests has arrived
        testing::Changes inputChanges, outputChanges, ownChanges, closedChanges;
        auto input = backend_.openInput(keysName, received_, inputChanges);
        auto output = backend_.openOutput(peer.client + "Synth:synth", outputChanges);
        auto own = backend_.openVirtualOutput(ownChanges);
        auto closed = backend_.openInput(keysName, received_, closedChanges);
        ASSERT_TRUE(input.connection && output.connection && own.connection && closed.connection);
        closed.connection.reset();
        EXPECT_FALSE(input.connection->failure());
        EXPECT_FALSE(output.connection->failure());

        keys->closePort();
        synth->closePort();
        testing::letJackCatchUp();
        if (peer.wholeClient) {
            keys.reset();
            synth.reset();
        }
        for (int wait = 0; wait < 100 && (inputChanges.told() == 0 || outputChanges.told() == 0); ++wait) {
            std::this_thread::sleep_for(50ms);
        }

        const auto inputFailure = input.connection->failure();
        ASSERT_TRUE(inputFailure);
        EXPECT_EQ(inputFailure->code, ErrorDeviceGone);
        EXPECT_EQ(inputFailure->text, "The MIDI input device \"" + keysName +
                                          "\" has gone, so the input is closed. Choose a device in MIDI > Setup.");
        const auto outputFailure = output.connection->failure();
        ASSERT_TRUE(outputFailure);
        EXPECT_EQ(outputFailure->code, ErrorDeviceGone);
        EXPECT_FALSE(own.connection->failure());
        EXPECT_EQ(closedChanges.told(), 0);
    }
}

// The port components over the real back end: what the keyboard plays shows
// on the input, what the output plays reaches the synthesiser, and closing
// the output ends the note it left sounding.
TEST_F(RtMidiJackTest, PortComponentsCarryMessagesBothWays) {
    testing::ManualUiThread ui;
    MIDIInput input(backend_, ui);
    MIDIOutput output(backend_, ui);
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
    const auto output = backend.openOutput(kSynth, changes_);
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
