// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTest.h"
#include "ui/FileListBox.h"
#include "ui/Placement.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <numeric>

namespace marovane {
namespace {

class frmMainLayoutTest : public testing::WindowTest {
protected:
    struct Control {
        const char* name;
        QWidget* widget;
        const char* text;  // caption or text at start
        int left, top, width, height;
        int tab;
    };

    // Every control but the grid, as the window's layout gives it in twips.
    std::vector<Control> controls() {
        frmMain& w = *window;
        return {
            {"arpegiate", w.arpegiate, "Arpegiate", 8040, 0, 1455, 375, 10},
            {"intervalscroll", w.intervalscroll, "", 5280, 120, 2295, 135, 11},
            {"Command1", w.Command1, "go", 360, 360, 855, 615, 0},
            {"message", w.message, "", 2520, 360, 1455, 375, 4},
            {"Label6", w.Label6, "Interval", 5280, 360, 975, 255, 12},
            {"Label2", w.Label2, "msg", 4200, 480, 495, 255, 5},
            {"notescroll", w.notescroll, "", 5280, 840, 2295, 135, 13},
            {"data1", w.data1, "", 2520, 960, 1455, 375, 6},
            {"Label3", w.Label3, "data1", 4200, 1080, 615, 255, 8},
            {"Label7", w.Label7, "Note Change", 5400, 1080, 1215, 255, 14},
            {"stopbutton", w.stopbutton, "stop", 360, 1200, 855, 615, 3},
            {"data2", w.data2, "", 2520, 1560, 1455, 375, 7},
            {"Label4", w.Label4, "data2", 4200, 1560, 495, 255, 9},
            {"File1", w.File1, "", 6960, 1560, 2415, 1065, 99},
            {"savename", w.savename, "Save Name", 7200, 2760, 1695, 285, 100},
            {"beatbutton", w.beatbutton, "Beat Mode", 1560, 2880, 1575, 375, 55},
            {"Label8", w.Label8, "Beat Modulated Arpegiator", 3480, 2880, 2535, 255, 56},
            {"instruslide", w.instruslide, "", 7920, 3240, 255, 1815, 1},
            {"savebutton", w.savebutton, "Save Beat", 120, 3480, 1215, 375, 97},
            {"openbutton", w.openbutton, "Open Beat", 120, 3840, 1215, 375, 98},
            {"label1", w.label1, "Instrument", 8280, 4200, 975, 255, 2},
        };
    }

    static QString textOf(QWidget* widget) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        if (auto* box = qobject_cast<QLineEdit*>(widget)) return box->text();
        return {};
    }

    static QRect twips(int left, int top, int width, int height) {
        return QRect(left / 15, top / 15, width / 15, height / 15);
    }
};

TEST_F(frmMainLayoutTest, EveryControlHasItsPlaceTextAndFittingCaption) {
    for (const Control& c : controls()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widget->geometry(), twips(c.left, c.top, c.width, c.height));
        EXPECT_EQ(textOf(c.widget), c.text);
        EXPECT_EQ(c.widget->font(), window->font());  // no control has a font of its own
        EXPECT_LE(c.widget->fontMetrics().horizontalAdvance(c.text), c.widget->width());
    }
    for (int i = 0; i < gridBoxes; ++i) {
        SCOPED_TRACE(i);
        const int row = i / 16, column = i % 16;
        EXPECT_EQ(window->beatbox[i]->geometry(), twips(1560 + 360 * column, 3360 + 360 * row, 255, 255));
        EXPECT_EQ(window->beatbox[i]->checkState(), Qt::Unchecked);
        EXPECT_TRUE(window->beatbox[i]->text().isEmpty());
    }
    EXPECT_EQ(window->beatbox[79]->geometry().topLeft(), QPoint(6960 / 15, 4800 / 15));
    EXPECT_EQ(window->Line1->geometry(), twips(4920, 0, 15, 2640));
    EXPECT_EQ(window->Line1->frameShape(), QFrame::VLine);
    EXPECT_EQ(window->Line1->frameShadow(), QFrame::Plain);
}

TEST_F(frmMainLayoutTest, WindowIsFixedAndStartsWithItsSettings) {
    EXPECT_EQ(window->windowTitle(), "midi Quellant");
    EXPECT_EQ(window->centralWidget()->size(), QSize(644, 549));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size().height(), 549 + window->menuBar()->height());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->font().bold());
    EXPECT_DOUBLE_EQ(window->font().pointSizeF(), 8.25);

    struct Bar {
        QScrollBar* bar;
        Qt::Orientation orientation;
        int minimum, maximum, smallStep, largeStep, value;
    };
    for (const Bar& b : {Bar{window->intervalscroll, Qt::Horizontal, 50, 1000, 50, 250, 500},
                         Bar{window->notescroll, Qt::Horizontal, -20, 20, 1, 5, 5},
                         Bar{window->instruslide, Qt::Vertical, 0, 127, 1, 10, 0}}) {
        EXPECT_EQ(std::vector({int(b.bar->orientation()), b.bar->minimum(), b.bar->maximum(), b.bar->singleStep(),
                               b.bar->pageStep(), b.bar->value()}),
                  std::vector({int(b.orientation), b.minimum, b.maximum, b.smallStep, b.largeStep, b.value}));
    }
    EXPECT_FALSE(window->arptimer.Enabled());
    EXPECT_EQ(window->arptimer.Interval(), 200);
    EXPECT_EQ(window->File1->path(), "Beats");
    EXPECT_TRUE(QDir("Beats").exists());  // made by the first start
    EXPECT_EQ(window->File1->listIndex(), -1);
}

// A key moves a focused bar as the arrow or the trough on its side does: left
// and up toward the minimum, right and down toward the maximum.
TEST_F(frmMainLayoutTest, ScrollBarKeysMoveTowardTheEndOnTheirSide) {
    struct Bar {
        const char* name;
        QScrollBar* bar;
        Qt::Key less;  // the arrow key toward the minimum, and the opposite one
        Qt::Key more;
        int middle;  // a value the keys may move both ways from
    };
    const Bar bars[] = {
        {"intervalscroll", window->intervalscroll, Qt::Key_Left, Qt::Key_Right, 500},
        {"notescroll", window->notescroll, Qt::Key_Left, Qt::Key_Right, 5},
        {"instruslide", window->instruslide, Qt::Key_Up, Qt::Key_Down, 50},
        {"instruslide", window->instruslide, Qt::Key_Left, Qt::Key_Right, 50},
    };
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const Bar& b : bars) {
        b.bar->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return b.bar->hasFocus(); })) << b.name;
        const int small = b.bar->singleStep(), large = b.bar->pageStep();
        const std::pair<Qt::Key, int> presses[] = {
            {b.less, -small}, {b.more, small}, {Qt::Key_PageUp, -large}, {Qt::Key_PageDown, large}};
        for (const auto& [key, change] : presses) {
            b.bar->setValue(b.middle);
            QTest::keyClick(b.bar, key);
            EXPECT_EQ(b.bar->value(), b.middle + change) << b.name << " " << QKeySequence(key).toString().toStdString();
        }
    }
}

TEST_F(frmMainLayoutTest, TabWalksTheControlsByTabPositionFromGo) {
    std::vector<Control> all = controls();
    for (int i = 0; i < gridBoxes; ++i) {
        all.push_back({"beatbox", window->beatbox[i], "", 0, 0, 0, 0, i < 40 ? 15 + i : 17 + i});
    }
    std::sort(all.begin(), all.end(), [](const Control& a, const Control& b) { return a.tab < b.tab; });
    std::vector<int> positions;
    for (const Control& c : all) positions.push_back(c.tab);
    std::vector<int> expectedPositions(101);
    std::iota(expectedPositions.begin(), expectedPositions.end(), 0);
    ASSERT_EQ(positions, expectedPositions);  // a permutation of 0..100

    std::vector<QWidget*> expected;
    for (const Control& c : all) {
        if (!qobject_cast<QLabel*>(c.widget)) expected.push_back(c.widget);  // labels never take the focus
    }
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    std::vector<QWidget*> walked = {QApplication::focusWidget()};
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(walked, expected);
    std::vector<QWidget*> back = {QApplication::focusWidget()};
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.push_back(QApplication::focusWidget());
    }
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, expected);
}

TEST_F(frmMainLayoutTest, MenusHoldTheirEntriesAndOnlyExitSetupAndThruAct) {
    struct Entry {
        QAction* action;
        const char* caption;
        const char* shortcut;
    };
    const std::vector<std::pair<QMenu*, std::vector<Entry>>> menus = {
        {window->mnuFile,
         {{window->mnuFileLoadBank, "&Load Bank", ""},
          {window->MnuSaveBankAs, "Save Bank &As...", "Ctrl+A"},
          {window->mnuFileSep1, "", ""},
          {window->mnuFileExit, "E&xit", ""}}},
        {window->mnuMidi, {{window->mnuMidiSetup, "&Setup", ""}, {window->mnuMidiThru, "&Thru", ""}}},
        {window->mnuHelp, {{window->mnuHelpAbout, "&About", ""}}},
    };
    QStringList bar;
    for (QAction* menu : window->menuBar()->actions()) bar << menu->text();
    EXPECT_EQ(bar, QStringList({"&File", "&MIDI", "&Help"}));
    for (const auto& [menu, entries] : menus) {
        ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(entries.size())) << menu->title().toStdString();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            QAction* action = menu->actions()[i];
            EXPECT_EQ(action, entries[i].action);
            EXPECT_EQ(action->text(), entries[i].caption);
            EXPECT_EQ(action->shortcut(), QKeySequence(entries[i].shortcut));
            EXPECT_TRUE(action->isEnabled() && action->isVisible());
            EXPECT_EQ(action->isCheckable(), action == window->mnuMidiThru);
        }
    }
    EXPECT_TRUE(window->mnuFileSep1->isSeparator());
    EXPECT_TRUE(window->mnuMidiThru->isChecked());

    // The inert entries, from the menu and by Ctrl+A: nothing opens, nothing
    // is sent, nothing in the window changes.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->beatbox[3]->setChecked(true);
    window->mnuFileLoadBank->trigger();
    window->MnuSaveBankAs->trigger();
    window->mnuHelpAbout->trigger();
    QTest::keyClick(window->Command1, Qt::Key_A, Qt::ControlModifier);
    QTest::qWait(20);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->MIDIOutput1.State(), 0);
    EXPECT_EQ(window->beatbox[3]->checkState(), Qt::Checked);
    EXPECT_EQ(window->File1->count(), 0);
}

TEST_F(frmMainLayoutTest, WindowOpensCentredOnTheWholeScreen) {
    const QRect screen = window->screen()->geometry();
    const QRect frame = window->frameGeometry();
    const QPoint origin = centredOrigin(screen.size() * 15, frame.size() * 15);
    EXPECT_EQ(frame.topLeft(), screen.topLeft() + origin / 15);
    EXPECT_EQ(origin.x() / 15, (screen.width() - frame.width()) / 2);
}

}  // namespace
}  // namespace marovane
