// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnJack.h"

#include <QLabel>
#include <QScrollBar>

namespace marovane {
namespace {

using testing::Bytes;

class EndToEndJackTest : public testing::WindowOnJack {};

// JACK carries any bytes as an event: a message cut short, data without a
// status, a data byte above 127, a message with a byte too many.
TEST_F(EndToEndJackTest, ForwardsEveryShortMessageAsPlayedAndInOrder) {
    goWithPeers();
    expectEveryShortMessageForwardedInOrder({{0x90, 60}, {60, 64}, {0x90, 60, 200}, {0xC0, 5, 6}});
}

TEST_F(EndToEndJackTest, ReceivedNoteReRootsTheArpeggioAndExitEndsItsNote) {
    goWithPeers();
    expectKeyReRootsTheArpeggioAndExitEndsItsNote();
}

TEST_F(EndToEndJackTest, InstrumentSliderSendsATwoByteProgramChange) {
    goWithPeers();
    window_->instruslide->setValue(5);
    EXPECT_EQ(heard(1), (std::vector<Bytes>{{0xC0, 5}}));
    EXPECT_EQ(window_->label1->text(), " 6");
}

}  // namespace
}  // namespace marovane
