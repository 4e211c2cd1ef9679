// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortInterfaces.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace marovane {

// The device setup dialog. Loading it lists the devices and opens both ports
// on the first entries; Ok reopens them on the chosen entries and hides the
// dialog, which keeps its lists for the next showing; Cancel and the title
// bar's close reject it, and the owner then unloads it. After a device or the
// MIDI system was lost, the owner has the kept lists read again (relist).
class MIDISetupForm : public QDialog {
    Q_OBJECT

public:
    MIDISetupForm(MidiInputPort& input, MidiOutputPort& output);

    // Reads both lists afresh from the devices there are now; each keeps its
    // selected device where that is still listed, else selects entry 0. No
    // port is opened or closed.
    void relist();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboMidiIn = nullptr;
    QComboBox* ComboMidiOut = nullptr;
    QPushButton* CmdOk = nullptr;
    QPushButton* CmdCancel = nullptr;

protected:
    // Neither Enter nor Escape stands for a button here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void CmdOk_Click();
    void CmdCancel_Click();

    MidiInputPort& MIDIInput1;
    MidiOutputPort& MIDIOutput1;
};

}  // namespace marovane
