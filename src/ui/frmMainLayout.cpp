// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls, where they sit (in twips), the order the Tab key
// walks them in, and its menus.
#include "FileListBox.h"
#include "GridBox.h"
#include "Twips.h"
#include "frmMain.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

namespace marovane {

namespace {

// Beat grid: box (row, column) at Left 1560 + 360 * column, Top 3360 + 360 * row.
constexpr int gridLeft = 1560;
constexpr int gridTop = 3360;
constexpr int gridPitch = 360;
constexpr int boxSize = 255;

template <typename Control>
Control* placed(Control* control, int left, int top, int width, int height) {
    control->setGeometry(twipsRect(left, top, width, height));
    return control;
}

QPushButton* button(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    return placed(new QPushButton(caption, parent), left, top, width, height);
}

QLabel* label(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    return placed(new QLabel(caption, parent), left, top, width, height);
}

// Qt moves a scroll bar toward its maximum on Left and toward its minimum on
// Right, against the arrows of a horizontal one; here Left steps toward the
// minimum and Right toward the maximum, whatever the orientation. Up, Down
// and the page keys are right as they are.
class ScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool left = event->key() == Qt::Key_Left;
        if (left || event->key() == Qt::Key_Right) {
            triggerAction(left ? SliderSingleStepSub : SliderSingleStepAdd);
            return;
        }
        QScrollBar::keyPressEvent(event);
    }
};

QScrollBar* scrollBar(QWidget* parent, Qt::Orientation orientation, int minimum, int maximum, int smallStep,
                      int largeStep, int value) {
    auto* bar = new ScrollBar(orientation, parent);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(smallStep);
    bar->setPageStep(largeStep);
    bar->setValue(value);
    // The arrow keys move a bar that has the focus, as a click on its arrows.
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

}  // namespace

void frmMain::buildControls(QWidget* client) {
    arpegiate = button(client, "Arpegiate", 8040, 0, 1455, 375);
    intervalscroll = placed(scrollBar(client, Qt::Horizontal, 50, 1000, 50, 250, 500), 5280, 120, 2295, 135);
    Command1 = button(client, "go", 360, 360, 855, 615);
    message = placed(new QLineEdit(client), 2520, 360, 1455, 375);
    Label6 = label(client, "Interval", 5280, 360, 975, 255);
    Label2 = label(client, "msg", 4200, 480, 495, 255);
    notescroll = placed(scrollBar(client, Qt::Horizontal, -20, 20, 1, 5, 5), 5280, 840, 2295, 135);
    data1 = placed(new QLineEdit(client), 2520, 960, 1455, 375);
    Label3 = label(client, "data1", 4200, 1080, 615, 255);
    Label7 = label(client, "Note Change", 5400, 1080, 1215, 255);
    stopbutton = button(client, "stop", 360, 1200, 855, 615);
    data2 = placed(new QLineEdit(client), 2520, 1560, 1455, 375);
    Label4 = label(client, "data2", 4200, 1560, 495, 255);

    // A thin solid line in the text colour between the port and monitor
    // block and the scroll bars.
    Line1 = placed(new QFrame(client), 4920, 0, twipsPerPixel, 2640);
    Line1->setFrameStyle(QFrame::VLine | QFrame::Plain);
    Line1->setForegroundRole(QPalette::WindowText);

    instruslide = placed(scrollBar(client, Qt::Vertical, 0, 127, 1, 10, 0), 7920, 3240, 255, 1815);
    // A dragged thumb sends one program change, on release, not one per value.
    instruslide->setTracking(false);
    label1 = label(client, "Instrument", 8280, 4200, 975, 255);
    buildBeatControls(client);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(stopbutton, &QPushButton::clicked, this, [this] { stopbutton_Click(); });
    connect(arpegiate, &QPushButton::clicked, this, turns_.inTurn([this] { performance.arpegiate_Click(); }));
    connect(beatbutton, &QPushButton::clicked, this, turns_.inTurn([this] { performance.beatbutton_Click(); }));
    connect(instruslide, &QScrollBar::valueChanged, this, turns_.inTurn([this] { performance.instruslide_Change(); }));
    connect(openbutton, &QPushButton::clicked, this, [this] { openbutton_Click(); });
    connect(savebutton, &QPushButton::clicked, this, [this] { savebutton_Click(); });
}

void frmMain::buildBeatControls(QWidget* client) {
    File1 = placed(new FileListBox("*.txt", client), 6960, 1560, 2415, 1065);
    savename = placed(new QLineEdit("Save Name", client), 7200, 2760, 1695, 285);
    beatbutton = button(client, "Beat Mode", 1560, 2880, 1575, 375);
    Label8 = label(client, "Beat Modulated Arpegiator", 3480, 2880, 2535, 255);
    for (int i = 0; i < gridBoxes; ++i) {
        const int row = i / gridColumns;
        const int column = i % gridColumns;
        beatbox[i] =
            placed(new GridBox(client), gridLeft + gridPitch * column, gridTop + gridPitch * row, boxSize, boxSize);
    }
    savebutton = button(client, "Save Beat", 120, 3480, 1215, 375);
    openbutton = button(client, "Open Beat", 120, 3840, 1215, 375);
}

// Tab walks the controls by tab position; the labels hold positions of their
// own (2, 5, 8, 9, 12, 14, 56) but never take the focus.
void frmMain::chainTabOrder() {
    std::vector<QWidget*> order = {Command1, instruslide, stopbutton,     message,   data1,
                                   data2,    arpegiate,   intervalscroll, notescroll};
    const auto boxes = [&](int first, int last) {
        for (int i = first; i <= last; ++i) order.push_back(beatbox[i]);
    };
    boxes(0, 39);
    order.push_back(beatbutton);
    boxes(40, 79);
    order.insert(order.end(), {savebutton, openbutton, File1, savename});
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMain::buildMenus() {
    mnuFile = menuBar()->addMenu("&File");
    mnuFileLoadBank = mnuFile->addAction("&Load Bank");
    MnuSaveBankAs = mnuFile->addAction("Save Bank &As...");
    MnuSaveBankAs->setShortcut(QKeySequence("Ctrl+A"));
    mnuFileSep1 = mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction("E&xit");
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });

    mnuMidi = menuBar()->addMenu("&MIDI");
    mnuMidiSetup = mnuMidi->addAction("&Setup");
    connect(mnuMidiSetup, &QAction::triggered, this, [this] { mnuMidiSetup_Click(); });
    // Thru is only a check mark that the menu toggles: every message is
    // forwarded whatever it shows.
    mnuMidiThru = mnuMidi->addAction("&Thru");
    mnuMidiThru->setCheckable(true);
    mnuMidiThru->setChecked(true);

    mnuHelp = menuBar()->addMenu("&Help");
    mnuHelpAbout = mnuHelp->addAction("&About");
}

}  // namespace marovane
