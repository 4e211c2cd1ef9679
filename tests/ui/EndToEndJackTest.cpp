// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnJack.h"

#include <QLabel>
#include <QScrollBar>

namespace marovane {
namespace {

using testing::Bytes;

class EndToEndJackTest : public testing::WindowOnJack {};

TEST_F(EndToEndJackTest, ForwardsEveryStatusFamilyUnchangedAndInOrder) {
    goWithPeers();
    expectEveryFamilyForwardedInOrder();
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
