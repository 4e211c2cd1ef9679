// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnAlsa.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <future>

namespace marovane {
namespace {

using testing::Bytes;

class EndToEndAlsaTest : public testing::WindowOnAlsa {};

TEST_F(EndToEndAlsaTest, ThruForwardsEveryFamilyInOrderAndTheSliderATwoByteProgramChange) {
    goWithPeer();
    expectEveryFamilyForwardedInOrder();
    const std::size_t forwarded = heardCount();

    window_->instruslide->setValue(5);
    EXPECT_EQ(heard(forwarded + 1).back(), (Bytes{0xC0, 5}));
    EXPECT_EQ(window_->label1->text(), " 6");
}

TEST_F(EndToEndAlsaTest, ReceivedNoteReRootsTheArpeggioAndExitEndsItsNote) {
    goWithPeer();
    expectKeyReRootsTheArpeggioAndExitEndsItsNote();
}

// The program's own port, as the README has users connect it: leaving the
// program while a step's notes wait on the sequencer's queue still sends them,
// and then their endings.
TEST_F(EndToEndAlsaTest, LeavingTheProgramLeavesNoNoteSounding) {
    expectNoNoteLeftSoundingAfterExits([this] { startArpeggio(); }, 15);
    expectNoNoteLeftSoundingAfterExits([this] { startFullColumns(); }, 15);
}

// The keyboard keeps at most 1,500 messages on their way: the kernel drops
// every event for a client whose input pool (2,000 here) overflows.
TEST_F(EndToEndAlsaTest, AFloodOfTenThousandIsForwardedWholeAndInOrder) {
    goWithPeer();
    testing::MessageBoxReader user;
    recordShownErrors();
    const auto flood = testing::numberedMessages(10000);

    auto played = std::async(std::launch::async, [&] { return peer_.play(flood, 1500); });
    EXPECT_TRUE(testing::sameMessages(heard(flood.size(), 60000), flood));
    EXPECT_TRUE(played.get());
    EXPECT_EQ(shown_, std::vector<Shown>{});
    EXPECT_EQ(window_->data2->text(), QString::number(flood.back()[2]));
}

}  // namespace
}  // namespace marovane
