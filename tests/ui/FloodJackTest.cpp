// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnJack.h"

#include "ports/DeviceErrors.h"
#include "ports/InputQueue.h"

#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <thread>

namespace marovane {
namespace {

using testing::Bytes;
using testing::numberedMessages;

// The keyboard plays floods, a few hundred messages each process cycle, into
// the program's input, which the program forwards to the synthesiser.
class FloodJackTest : public testing::WindowOnJack {
protected:
    void SetUp() override {
        WindowOnJack::SetUp();
        if (IsSkipped()) return;
        goWithPeers();
    }

    // Plays `messages` while the UI thread is busy: the test thread is the
    // UI thread, and no event runs while it waits here.
    void floodWhileBusy(const std::vector<Bytes>& messages) {
        play(messages);
        ASSERT_TRUE(keyboard_->waitUntilPlayed());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last cycles reach the input
    }

    static std::vector<Bytes> firstOf(const std::vector<Bytes>& messages, std::size_t count) {
        return {messages.begin(), messages.begin() + static_cast<std::ptrdiff_t>(count)};
    }
};

TEST_F(FloodJackTest, ThruPassesOnTenThousandAtFullSpeedWholeAndInOrder) {
    if (testing::JackServer::losesFloods()) GTEST_SKIP() << "PipeWire loses the cycles of a client this slow";
    testing::MessageBoxReader user;
    recordShownErrors();
    const auto played = numberedMessages(10000);
    play(played);

    EXPECT_TRUE(testing::sameMessages(heard(played.size(), 30000), played));
    EXPECT_EQ(shown_, std::vector<Shown>{});
    EXPECT_EQ(window_->MIDIInput1.MessageCount(), 0);
    const Bytes& last = played.back();
    EXPECT_EQ(window_->message->text(), QString::number(last[0]));
    EXPECT_EQ(window_->data1->text(), QString::number(last[1]));
    EXPECT_EQ(window_->data2->text(), QString::number(last[2]));
    // The window still answers.
    QTest::mouseClick(window_->beatbutton, Qt::LeftButton);
    EXPECT_EQ(window_->beatbutton->text(), "No Beat Mode");
}

// While the UI thread is busy, a flood larger than the input queue fills it:
// the queue keeps the first messages up to its bound, the input says once
// that it dropped the rest, the kept ones are forwarded, and then the thru
// goes on. A second overflow is not reported again until the port reopens.
TEST_F(FloodJackTest, OverflowWhileBusyIsReportedOnceAndThruGoesOn) {
    if (testing::JackServer::losesFloods()) GTEST_SKIP() << "PipeWire loses the cycles of a client this slow";
    testing::MessageBoxReader user;
    recordShownErrors();
    constexpr std::size_t bound = InputQueue::capacity;
    const auto played = numberedMessages(bound + 4000);

    floodWhileBusy(played);
    EXPECT_EQ(window_->MIDIInput1.MessageCount(), static_cast<std::int16_t>(bound));
    EXPECT_TRUE(testing::sameMessages(heard(bound, 30000), firstOf(played, bound)));
    const std::string report = queueOverflow(bound).text;
    EXPECT_EQ(shown_, (std::vector<Shown>{{"input", ErrorQueueFull, report}}));
    EXPECT_EQ(user.texts, QStringList{QString::fromStdString(report)});

    const auto later = numberedMessages(3, played.size());
    play(later);
    const auto all = heard(bound + later.size());
    EXPECT_EQ(std::vector<Bytes>(all.end() - static_cast<std::ptrdiff_t>(later.size()), all.end()), later);

    floodWhileBusy(numberedMessages(bound + 10, 100000));
    heard(2 * bound + later.size(), 30000);
    EXPECT_EQ(shown_.size(), 1u);
}

}  // namespace
}  // namespace marovane
