#include "ModalDriver.h"
#include "ScratchDirectory.h"
#include "ports/JackPeers.h"
#include "ports/JackServer.h"
#include "ports/QtUiThread.h"
#include "ports/RtMidiBackend.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace marovane {
namespace {

using testing::Bytes;
using testing::Collector;

// The whole program on a real JACK server: a keyboard plays into the input
// the user chose in the setup dialog, and a synthesiser listens on the chosen
// output. Both peers are other JACK clients, made with RtMidi directly.
class EndToEndJackTest : public ::testing::Test {
protected:
    static constexpr char kKeyboard[] = "PeerKeyboard:keys";
    static constexpr char kSynth[] = "PeerSynth:synth";

    void SetUp() override {
        if (!testing::JackServer::unavailable().empty()) GTEST_SKIP() << testing::JackServer::unavailable();
        keyboard_.openVirtualPort("keys");
        synth_.ignoreTypes(false, false, false);  // hear everything the program sends
        synth_.setCallback(&Collector::deliver, &heard_);
        synth_.openVirtualPort("synth");
        window_ = std::make_unique<frmMain>(backend_, ui_);
    }

    // The program's ports close before the peers go; the keyboard's port
    // closes before its client (see letJackCatchUp).
    void TearDown() override {
        window_.reset();
        keyboard_.closePort();
        testing::letJackCatchUp();
    }

    // "go", choosing the keyboard and the synthesiser in the setup dialog.
    void goWithPeers() {
        testing::onNextModal([](QWidget* modal) {
            auto* form = qobject_cast<MIDISetupForm*>(modal);
            ASSERT_NE(form, nullptr);
            form->ComboMidiIn->setCurrentIndex(form->ComboMidiIn->findText(kKeyboard));
            form->ComboMidiOut->setCurrentIndex(form->ComboMidiOut->findText(kSynth));
            QTest::mouseClick(form->CmdOk, Qt::LeftButton);
        });
        QTest::mouseClick(window_->Command1, Qt::LeftButton);
        ASSERT_EQ(window_->MIDIInput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIOutput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIOutput1.ProductName(), kSynth);
    }

    // Waits, keeping the window's events going, until the synthesiser has
    // heard at least `count` messages; returns all it heard (fewer when the
    // wait ran out, which the caller's comparison then reports).
    std::vector<Bytes> heard(std::size_t count) {
        if (!QTest::qWaitFor([&] { return heard_.messages().size() >= count; }, 5000)) {
            ADD_FAILURE() << "the synthesiser heard only " << heard_.messages().size() << " of " << count;
        }
        return heard_.messages();
    }

    Collector heard_;
    RtMidiOut keyboard_{RtMidi::UNIX_JACK, "PeerKeyboard"};
    RtMidiIn synth_{RtMidi::UNIX_JACK, "PeerSynth"};
    RtMidiBackend backend_{{MidiSystem::Jack}};
    QtUiThread ui_;
    std::unique_ptr<frmMain> window_;
};

TEST_F(EndToEndJackTest, ForwardsEveryStatusFamilyUnchangedAndInOrder) {
    goWithPeers();
    const std::vector<Bytes> played = {
        {0x90, 60, 100}, {0x80, 60, 64}, {0xA1, 60, 50}, {0xB2, 7, 100}, {0xC3, 5}, {0xD4, 40},
        {0xE5, 0, 64},   {0xF2, 1, 2},   {0xF3, 3},      {0xF6},         {0xFA},    {0xFC},
    };
    testing::send(keyboard_, {{0xF8}, {0xFE}});  // clock and active sensing are not taken in
    testing::send(keyboard_, played);

    EXPECT_EQ(heard(played.size()), played);
    EXPECT_EQ(window_->message->text(), "252");
    EXPECT_EQ(window_->data1->text(), "0");
    EXPECT_EQ(window_->data2->text(), "0");
}

TEST_F(EndToEndJackTest, ReceivedNoteReRootsTheArpeggioAndExitEndsItsNote) {
    goWithPeers();
    window_->notescroll->setValue(1);
    window_->intervalscroll->setValue(50);
    QTest::mouseClick(window_->arpegiate, Qt::LeftButton);
    heard(2);  // the arpeggio runs

    const Bytes key{0x90, 60, 100};
    testing::send(keyboard_, {key});
    QTRY_VERIFY_WITH_TIMEOUT(window_->performance.state.arpnote > 60, 5000);
    window_->performance.StopPerformance();
    const std::int16_t last = window_->performance.state.arpnote;

    const auto sent = heard_.messages();
    const auto forwarded = std::find(sent.begin(), sent.end(), key);
    ASSERT_NE(forwarded, sent.end());
    ASSERT_GE(sent.end() - forwarded, 3);
    // The next step silences the key that was forwarded and plays one above.
    EXPECT_EQ(*(forwarded + 1), (Bytes{0x90, 60, 0}));
    EXPECT_EQ(*(forwarded + 2), (Bytes{0x90, 61, 100}));

    window_->mnuFileExit->trigger();
    EXPECT_EQ(heard(sent.size() + 1).back(), (Bytes{0x90, static_cast<unsigned char>(last), 0}));
}

TEST_F(EndToEndJackTest, InstrumentSliderSendsATwoByteProgramChange) {
    goWithPeers();
    window_->instruslide->setValue(5);
    EXPECT_EQ(heard(1), (std::vector<Bytes>{{0xC0, 5}}));
    EXPECT_EQ(window_->label1->text(), " 6");
}

}  // namespace
}  // namespace marovane

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    marovane::testing::ScratchDirectory scratch;  // where the window makes its "Beats" folder
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new marovane::testing::JackServer);
    return marovane::testing::JackServer::exitStatus(RUN_ALL_TESTS());
}
