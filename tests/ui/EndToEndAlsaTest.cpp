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

// A 14-bit controller (channel 1, controller 7, value 1000) arrives as its
// two control changes, a non-registered parameter (number 0x1234, value 0x32)
// as its four.
TEST_F(EndToEndAlsaTest, ThruForwardsEveryShortMessageInOrderAndTheSliderATwoByteProgramChange) {
    goWithPeer();
    expectEveryShortMessageForwardedInOrder();
    std::size_t forwarded = heardCount();
    snd_seq_event_t wide{}, parameter{};
    snd_seq_ev_set_controller(&wide, 0, 7, 1000);
    wide.type = SND_SEQ_EVENT_CONTROL14;
    snd_seq_ev_set_controller(&parameter, 0, 0x1234, 0x32);
    parameter.type = SND_SEQ_EVENT_NONREGPARAM;
    peer_.playEvents({wide, parameter});
    const std::vector<Bytes> changes{{0xB0, 7, 7},     {0xB0, 39, 104}, {0xB0, 99, 0x24},
                                     {0xB0, 98, 0x34}, {0xB0, 6, 0},    {0xB0, 38, 0x32}};
    const auto heardNow = heard(forwarded + changes.size());
    EXPECT_EQ(std::vector<Bytes>(heardNow.begin() + static_cast<std::ptrdiff_t>(forwarded), heardNow.end()), changes);
    EXPECT_EQ(window_->data2->text(), "50");
    forwarded = heardCount();

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
