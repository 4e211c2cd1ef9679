// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnAlsa.h"

#include "ports/AllSystemsBackend.h"
#include "ports/DeviceErrors.h"
#include "ports/jack/JackBackend.h"
#include "support/JackPeer.h"
#include "support/JackServer.h"

#include <memory>
#include <string>
#include <vector>

namespace marovane {
namespace {

using testing::Bytes;

// The whole program on the ALSA sequencer and a JACK server at once: the
// sequencer's peer of WindowOnAlsa and a JACK client "Jam", each with a
// keyboard and a synthesiser. The test plays on one system and listens on
// the other.
class AllSystemsTest : public testing::WindowOnAlsa {
protected:
    void SetUp() override {
        if (!testing::JackServer::unavailable().empty()) GTEST_SKIP() << testing::JackServer::unavailable();
        jam_ = std::make_unique<testing::JackPeer>("Jam");
        // The back end's client, opened on a thread of its own, is there.
        ASSERT_TRUE(testing::eventually([&] { return backend_->available() && jack_.available(); }));
        window_ = std::make_unique<frmMain>(midi_, ui_);
    }

    void play(const std::vector<Bytes>& messages) override {
        if (fromAlsa_)
            peer_.play(messages);
        else
            jam_->play(messages);
    }
    std::size_t heardCount() override { return heardMessages().size(); }
    std::vector<Bytes> heardMessages() override { return heardOn(!fromAlsa_); }
    std::vector<Bytes> heardOn(bool alsa) { return alsa ? peer_.bytesHeard(0) : jam_->heardBytes(0); }

    // Whether what is played on one system now reaches the synthesiser of
    // one system, steadily; the probes are then forgotten.
    bool carries(bool fromAlsa, bool alsaHears) {
        fromAlsa_ = fromAlsa;
        const bool carried = testing::carriesSteadily([&](const Bytes& probe) { play({probe}); },
                                                      [&] { return heardOn(alsaHears); }, whileEventsRun);
        peer_.forget();
        jam_->forget();
        return carried;
    }

    JackBackend jack_;
    AllSystemsBackend midi_{*backend_, jack_};
    std::unique_ptr<testing::JackPeer> jam_;
    bool fromAlsa_ = true;
};

// The sequencer's devices, then JACK's marked; the program's own ports are
// not listed, nor the port of a bridge that mirrors sequencer ports.
TEST_F(AllSystemsTest, ListsBothSystemsOnceEach) {
    const testing::JackPeer bridge("a2j");
    ASSERT_TRUE(testing::eventually([&] { return jack_port_by_name(jam_->client(), "a2j:keys") != nullptr; }));
    auto inputs = backend_->inputDevices();
    auto outputs = backend_->outputDevices();
    inputs.push_back({"jack:Jam:keys", "Jam:keys (JACK)"});
    outputs.push_back({"jack:Jam:synth", "Jam:synth (JACK)"});
    EXPECT_TRUE(
        testing::eventually([&] { return midi_.inputDevices() == inputs && midi_.outputDevices() == outputs; }));
}

// The thru and an arpeggio from a keyboard on one system to a synthesiser
// on the other, both ways; File > Exit ends the last note there.
TEST_F(AllSystemsTest, PlaysFromOneSystemIntoTheOther) {
    for (const bool fromAlsa : {true, false}) {
        SCOPED_TRACE(fromAlsa);
        window_ = std::make_unique<frmMain>(midi_, ui_);
        goWith(fromAlsa ? keyboardPort : "Jam:keys (JACK)", fromAlsa ? "Jam:synth (JACK)" : synthPort);
        ASSERT_TRUE(carries(fromAlsa, !fromAlsa));
        expectKeyReRootsTheArpeggioAndExitEndsItsNote();
    }
}

// Output -1 sounds on both systems' "Marovane Out", and the input hears the
// chosen device and JACK's "Marovane In". The JACK server's loss is then
// told once, and the sequencer's side goes on; a new server is listed at a
// next look.
TEST_F(AllSystemsTest, TheProgramsOwnPortsAreOnBothSystemsUntilOneGoes) {
    goWith(keyboardPort, "Marovane Out");
    peer_.connect("Marovane:Marovane Out", synthPort);
    ASSERT_EQ(jack_connect(jam_->client(), "Marovane:Marovane Out", "Jam:synth"), 0);
    ASSERT_EQ(jack_connect(jam_->client(), "Jam:keys", "Marovane:Marovane In"), 0);
    for (const bool fromAlsa : {true, false}) {
        for (const bool alsaHears : {true, false}) EXPECT_TRUE(carries(fromAlsa, alsaHears)) << fromAlsa << alsaHears;
    }

    testing::MessageBoxReader user;
    recordShownErrors();
    testing::JackServer::kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown_.empty(); }, 5000));
    EXPECT_TRUE(carries(true, true));
    EXPECT_EQ(shown_, (std::vector<Shown>{{shown_[0].port, ErrorSystemStopped, jackServerGone().text}}));
    EXPECT_EQ(window_->MIDIInput1.State(), StateStarted);
    EXPECT_EQ(window_->MIDIOutput1.State(), StateStarted);

    // The peer, another program really, goes with its server.
    jam_.reset();
    ASSERT_TRUE(testing::JackServer::restart());
    const testing::JackPeer again("Again");
    EXPECT_TRUE(testing::eventually([&] {
        return midi_.inputDevices().back() == MidiDevice{"jack:Again:keys", "Again:keys (JACK)"};
    }));
}

}  // namespace
}  // namespace marovane
