#include "ports/LoopbackBackend.h"
#include "ports/QtUiThread.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace marovane {
namespace {

using Bytes = std::vector<std::vector<unsigned char>>;

class frmMainTest : public ::testing::Test {
protected:
    LoopbackBackend midi;
    QtUiThread ui;
    frmMain window{midi, ui};
};

TEST_F(frmMainTest, ControlsSitWhereTheLayoutPutsThem) {
    const std::pair<QWidget*, QRect> places[] = {
        {window.arpegiate, QRect(536, 0, 97, 25)},     {window.intervalscroll, QRect(352, 8, 153, 9)},
        {window.notescroll, QRect(352, 56, 153, 9)},   {window.beatbutton, QRect(104, 192, 105, 25)},
        {window.instruslide, QRect(528, 216, 17, 121)}, {window.label1, QRect(552, 280, 65, 17)},
        {window.beatbox[0], QRect(104, 224, 17, 17)},  {window.beatbox[15], QRect(464, 224, 17, 17)},
        {window.beatbox[64], QRect(104, 320, 17, 17)}, {window.beatbox[79], QRect(464, 320, 17, 17)},
    };
    for (const auto& [widget, rect] : places) EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();
}

TEST_F(frmMainTest, ArpegiateClickPlaysOnTheVirtualOutput) {
    window.notescroll->setValue(3);
    window.intervalscroll->setValue(50);
    QTest::mouseClick(window.arpegiate, Qt::LeftButton);
    EXPECT_EQ(window.arpegiate->text(), "Unarpegiate");
    EXPECT_TRUE(window.arptimer.Enabled());

    // Driven by the real timer: wait for the first two steps, then stop.
    QTRY_VERIFY_WITH_TIMEOUT(midi.sentBytes().size() >= 4, 5000);
    window.performance.StopPerformance();
    const Bytes sent = midi.sentBytes();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{{0x90, 10, 0}, {0x90, 13, 85}, {0x90, 13, 0}, {0x90, 16, 85}}));
    EXPECT_EQ(window.arptimer.Interval(), 50);
}

TEST_F(frmMainTest, BeatTickReadsTheTickedBoxes) {
    QTest::mouseClick(window.beatbox[2 * 16], Qt::LeftButton);
    window.beatbox[1 * 16]->setCheckState(Qt::PartiallyChecked);  // dimmed boxes are silent
    QTest::mouseClick(window.beatbutton, Qt::LeftButton);
    EXPECT_EQ(window.beatbutton->text(), "No Beat Mode");
    window.performance.state.arpnote = 60;
    window.performance.arptimer_Timer();
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xB0, 123, 0}, {0x90, 60, 88}}));
}

TEST_F(frmMainTest, InstrumentSliderReportsChangesAndDragsOnlyOnRelease) {
    EXPECT_EQ(window.label1->text(), "Instrument");
    window.instruslide->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xC0, 1}}));
    EXPECT_EQ(window.label1->text(), " 2");

    midi.clearSent();
    window.instruslide->setSliderDown(true);
    for (int position : {20, 60, 127}) window.instruslide->setSliderPosition(position);
    EXPECT_TRUE(midi.sentBytes().empty());
    window.instruslide->setSliderDown(false);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xC0, 127}}));
    EXPECT_EQ(window.label1->text(), " 128");

    midi.clearSent();
    window.instruslide->setValue(127);  // no change, no message
    EXPECT_TRUE(midi.sentBytes().empty());
}

}  // namespace
}  // namespace marovane

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
