// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/DeviceErrors.h"
#include "ports/jack/JackBackend.h"
#include "support/Collectors.h"
#include "support/JackPeer.h"
#include "support/JackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace marovane {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::jackDevice;

// The server dies (SIGKILL; jackd2 then calls the client's info-shutdown
// callback, PipeWire only its shutdown callback): the connections are told,
// the first to ask says the system stopped and the others say nothing new.
// Once a server runs again, the next use makes a new client and messages
// flow, and the connections of the lost one close harmlessly afterwards.
TEST(JackServerLossTest, IsToldOnceAndTheServerIsFoundAgain) {
    if (!testing::JackServer::unavailable().empty()) GTEST_SKIP() << testing::JackServer::unavailable();
    auto peer = std::make_unique<testing::JackPeer>("Peer");
    testing::Collector received;
    testing::Changes inputChanges, outputChanges;
    JackBackend backend;
    auto input = backend.openInput(jackDevice(peer->keys()), received, inputChanges);
    auto output = backend.openOutput(jackDevice(peer->synth()), outputChanges);
    auto own = backend.openVirtualOutput(outputChanges);
    ASSERT_TRUE(input.connection && output.connection && own.connection);

    testing::JackServer::kill();
    std::optional<PortError> first;
    ASSERT_TRUE(testing::eventually([&] { return (first = output.connection->failure()).has_value(); }));
    EXPECT_TRUE(testing::eventually([&] { return inputChanges.told() > 0 && outputChanges.told() > 0; }));

    EXPECT_EQ(first->code, ErrorSystemStopped);
    EXPECT_EQ(first->text, jackServerGone().text);
    for (Connection* later : std::vector<Connection*>{input.connection.get(), own.connection.get()}) {
        const auto failure = later->failure();
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code, 0);
    }
    EXPECT_EQ(output.connection->send({0x90, 60, 100}, {}).code, ErrorSendFailed);

    // The peer, another program really, goes with its server, and the back
    // end lets go of its client at its next use: libjack frees the clients
    // of a lost server when the process opens a new one (as the test's
    // server does to see whether it runs).
    peer.reset();
    EXPECT_TRUE(backend.inputDevices().empty());
    const auto noServer = backend.openVirtualOutput(outputChanges).error;
    EXPECT_EQ(noServer.code, ErrorNoMidiSystem);
    EXPECT_EQ(noServer.text, noJackServer().text);
    ASSERT_TRUE(testing::JackServer::restart());
    peer = std::make_unique<testing::JackPeer>("PeerAgain");
    ASSERT_EQ(backend.inputDevices(), std::vector<MidiDevice>{jackDevice(peer->keys())});
    testing::Changes changes;
    auto inputAgain = backend.openInput(jackDevice(peer->keys()), received, changes);
    auto outputAgain = backend.openOutput(jackDevice(peer->synth()), changes);
    ASSERT_TRUE(inputAgain.connection && outputAgain.connection);
    ASSERT_TRUE(testing::carriesFrom(*peer, received));
    ASSERT_TRUE(testing::carriesTo(*outputAgain.connection, *peer));
    input.connection.reset();
    output.connection.reset();
    own.connection.reset();

    const Bytes note{0x90, 64, 90};
    peer->play({note});
    EXPECT_EQ(received.waitFor(1), std::vector<Bytes>{note});
    EXPECT_EQ(outputAgain.connection->send(note, {}).code, 0);
    EXPECT_EQ(peer->heardBytes(1), std::vector<Bytes>{note});
    inputAgain.connection.reset();
    outputAgain.connection.reset();
}

// The back end makes its client ahead, on a thread of its own; a server lost
// before the first use is found again once it returns. The back end lists
// once before the server restarts in this process, so that it lets go of
// the lost client before a new one frees that client's memory.
TEST(JackServerLossTest, AClientMadeAheadIsMadeAgain) {
    if (!testing::JackServer::unavailable().empty()) GTEST_SKIP() << testing::JackServer::unavailable();
    auto watcher = std::make_unique<testing::JackPeer>("Watcher");
    JackBackend backend;
    ASSERT_TRUE(testing::eventually([&] { return jack_port_by_name(watcher->client(), "Marovane:Marovane Out"); }));
    testing::JackServer::kill();
    watcher.reset();
    std::this_thread::sleep_for(200ms);
    backend.outputDevices();
    ASSERT_TRUE(testing::JackServer::restart());
    testing::JackPeer peer("PeerLater");
    testing::Changes changes;
    auto output = backend.openOutput(jackDevice(peer.synth()), changes);
    ASSERT_TRUE(output.connection) << output.error.text;
    ASSERT_TRUE(testing::carriesTo(*output.connection, peer));
    const Bytes note{0x90, 62, 80};
    EXPECT_EQ(output.connection->send(note, {}).code, 0);
    EXPECT_EQ(peer.heardBytes(1), std::vector<Bytes>{note});
}

}  // namespace
}  // namespace marovane
