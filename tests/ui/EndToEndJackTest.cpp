#include "WindowOnJack.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

namespace marovane {
namespace {

using testing::Bytes;

class EndToEndJackTest : public testing::WindowOnJack {};

TEST_F(EndToEndJackTest, ForwardsEveryStatusFamilyUnchangedAndInOrder) {
    goWithPeers();
    const std::vector<Bytes> played = {
        {0x90, 60, 100}, {0x80, 60, 64}, {0xA1, 60, 50}, {0xB2, 7, 100}, {0xC3, 5}, {0xD4, 40},
        {0xE5, 0, 64},   {0xF2, 1, 2},   {0xF3, 3},      {0xF6},         {0xFA},    {0xFC},
    };
    testing::send(*keyboard_, {{0xF8}, {0xFE}});  // clock and active sensing are not taken in
    testing::send(*keyboard_, played);

    EXPECT_EQ(heard(played.size()), played);
    EXPECT_EQ(window_->message->text(), "252");
    EXPECT_EQ(window_->data1->text(), "0");
    EXPECT_EQ(window_->data2->text(), "0");
}

TEST_F(EndToEndJackTest, ReceivedNoteReRootsTheArpeggioAndExitEndsItsNote) {
    goWithPeers();
    startArpeggio();
    heard(2);  // the arpeggio runs

    const Bytes key{0x90, 60, 100};
    testing::send(*keyboard_, {key});
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
