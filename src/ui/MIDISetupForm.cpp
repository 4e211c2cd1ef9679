// SPDX-License-Identifier: GPL-3.0-or-later
#include "MIDISetupForm.h"

#include "Placement.h"
#include "Twips.h"
#include "ports/PortCommands.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace marovane {

namespace {

constexpr int clientWidth = 6315;
constexpr int clientHeight = 1200;

void fill(QComboBox* list, const std::vector<DeviceEntry>& entries) {
    for (const auto& entry : entries) {
        list->addItem(QString::fromStdString(entry.text), QString::fromStdString(entry.id));
    }
}

// The choice is kept by its device's id, not its text: a device whose name a
// twin shared loses the id from its text once the twin has gone.
void refill(QComboBox* list, const std::vector<DeviceEntry>& entries) {
    const QVariant selected = list->currentData();
    list->clear();
    fill(list, entries);
    list->setCurrentIndex(std::max(list->findData(selected), 0));
}

}  // namespace

MIDISetupForm::MIDISetupForm(MidiInputPort& input, MidiOutputPort& output)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      MIDIInput1(input),
      MIDIOutput1(output) {
    setWindowTitle("MIDI Setup");
    setFixedSize(pixels(clientWidth), pixels(clientHeight));
    buildControls();
    Form_Load();
}

void MIDISetupForm::buildControls() {
    // Created in tab order: the input list takes the focus first.
    ComboMidiIn = new QComboBox(this);
    ComboMidiIn->setGeometry(twipsRect(120, 540, 2265, 300));
    ComboMidiIn->setPlaceholderText("(no input device)");
    ComboMidiOut = new QComboBox(this);
    ComboMidiOut->setGeometry(twipsRect(2460, 540, 2265, 300));
    Label1 = new QLabel("MIDI In Device", this);
    Label1->setGeometry(twipsRect(150, 240, 2115, 255));
    Label2 = new QLabel("MIDI Out Device", this);
    Label2->setGeometry(twipsRect(2490, 240, 2025, 255));
    CmdOk = new QPushButton("Ok", this);
    CmdOk->setGeometry(twipsRect(5010, 240, 1005, 375));
    CmdCancel = new QPushButton("Cancel", this);
    CmdCancel->setGeometry(twipsRect(5010, 690, 1005, 375));
    for (QPushButton* button : {CmdOk, CmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(CmdOk, &QPushButton::clicked, this, [this] { CmdOk_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    ComboMidiIn->setFocus();
}

void MIDISetupForm::Form_Load() {
    centreOnScreen(*this);

    fill(ComboMidiOut, listOutputEntries(MIDIOutput1));
    ComboMidiOut->setCurrentIndex(0);
    MIDIOutput1.setDeviceID(-1);
    OpenMidiOut(MIDIOutput1, ComboMidiOut->currentIndex());

    fill(ComboMidiIn, listInputEntries(MIDIInput1));
    // With no input device the list stays empty and the input closed.
    ComboMidiIn->setCurrentIndex(0);
    MIDIInput1.setDeviceID(0);
    OpenMidiIn(MIDIInput1, ComboMidiIn->currentIndex());
}

void MIDISetupForm::relist() {
    refill(ComboMidiOut, listOutputEntries(MIDIOutput1));
    refill(ComboMidiIn, listInputEntries(MIDIInput1));
}

void MIDISetupForm::CmdOk_Click() {
    OpenMidiIn(MIDIInput1, ComboMidiIn->currentIndex());
    OpenMidiOut(MIDIOutput1, ComboMidiOut->currentIndex());
    accept();
}

void MIDISetupForm::CmdCancel_Click() { reject(); }

void MIDISetupForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

}  // namespace marovane
