// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnAlsa.h"

#include "ports/DeviceErrors.h"

#include <QLineEdit>

namespace marovane {
namespace {

using testing::SequencerPeer;

struct Loss {
    const char* port;  // the one fed by the client that quits
    const char* input;
    const char* output;
};

class DeviceLossAlsaTest : public testing::WindowOnAlsa, public ::testing::WithParamInterface<Loss> {};

// The client behind a chosen device quits while an arpeggio runs: the
// sequencer announces its port and then the client, and the window shows
// once that the device went; the other port goes on.
TEST_P(DeviceLossAlsaTest, AClientQuittingIsShownOnceAndTheOtherPortGoesOn) {
    const Loss& loss = GetParam();
    auto leaving = std::make_unique<SequencerPeer>("Leaving");
    goWith(loss.input, loss.output);
    testing::MessageBoxReader user;
    recordShownErrors();
    startArpeggio();

    leaving.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown_.empty(); }, 5000));
    const bool inputGone = std::string(loss.port) == "input";
    EXPECT_EQ(window_->MIDIInput1.State(), inputGone ? StateClosed : StateStarted);
    EXPECT_EQ(window_->MIDIOutput1.State(), inputGone ? StateStarted : StateClosed);
    if (inputGone) {
        heard(heardCount() + 2);  // the arpeggio still plays
    } else {
        peer_.play({{0x90, 61, 70}});  // still received and shown
        EXPECT_TRUE(QTest::qWaitFor([&] { return window_->data1->text() == "61"; }, 5000));
    }
    QTest::qWait(200);  // the rest of the announcements

    const PortError gone =
        deviceGone(inputGone ? loss.input : loss.output, inputGone ? PortDirection::Input : PortDirection::Output);
    EXPECT_EQ(shown_, (std::vector<Shown>{{loss.port, gone.code, gone.text}}));
    EXPECT_EQ(user.texts, QStringList{QString::fromStdString(gone.text)});
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceLossAlsaTest,
                         ::testing::Values(Loss{"input", "Leaving:keys", "Peer:synth"},
                                           Loss{"output", "Peer:keys", "Leaving:synth"}));

}  // namespace
}  // namespace marovane
