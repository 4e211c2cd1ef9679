// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EngineTurns.h"
#include "MIDISetupForm.h"
#include "QtStepTimer.h"
#include "engine/Performance.h"
#include "midi/BeatGrid.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;

namespace marovane {

class FileListBox;

// The main window: the performance controls, the beat grid and its pattern
// files, the step clock and the two MIDI ports. The ports stay closed until
// the device setup opens them, and "go" starts them.
class frmMain : public QMainWindow, private PerformanceControls {
    Q_OBJECT

    // Before the timer and the ports, which run handlers through it.
    EngineTurns turns_;

public:
    frmMain(MidiBackend& midi, UiThread& ui);
    ~frmMain() override;

    void Command1_Click();
    void stopbutton_Click();
    void mnuFileExit_Click();
    void mnuMidiSetup_Click();
    void openbutton_Click();
    void savebutton_Click();

    MIDIInput MIDIInput1;
    MIDIOutput MIDIOutput1;
    QtStepTimer arptimer;
    Performance performance;

    QPushButton* Command1 = nullptr;
    QPushButton* stopbutton = nullptr;
    QLineEdit* message = nullptr;
    QLineEdit* data1 = nullptr;
    QLineEdit* data2 = nullptr;
    QPushButton* arpegiate = nullptr;
    QPushButton* beatbutton = nullptr;
    QScrollBar* intervalscroll = nullptr;
    QScrollBar* notescroll = nullptr;
    QScrollBar* instruslide = nullptr;
    QLabel* label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QFrame* Line1 = nullptr;
    std::array<QCheckBox*, gridBoxes> beatbox{};
    FileListBox* File1 = nullptr;
    QLineEdit* savename = nullptr;
    QPushButton* savebutton = nullptr;
    QPushButton* openbutton = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileLoadBank = nullptr;
    QAction* MnuSaveBankAs = nullptr;
    QAction* mnuFileSep1 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuMidi = nullptr;
    QAction* mnuMidiSetup = nullptr;
    QAction* mnuMidiThru = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // The device setup dialog while it is loaded (shown, or hidden after Ok).
    std::unique_ptr<MIDISetupForm> setupForm;

signals:
    // The program is to end now: the ports are closed and every window gone.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(QWidget* client);
    void buildBeatControls(QWidget* client);
    void buildMenus();
    void chainTabOrder();
    void Form_Load();
    void Form_Unload();
    void arptimer_Timer(QtStepTimer::Clock::time_point due);

    std::function<void()> tickInTurn_;
    QtStepTimer::Clock::time_point tickDue_;
    void endProgram();
    void MIDIInput1_Error(std::int16_t code, const std::string& text);
    void MIDIOutput1_Error(std::int16_t code, const std::string& text);
    void showPortError(std::int16_t code, const std::string& text);
    void unloadSetupForm();
    void setBeatBox(int index, std::int16_t value);

    std::int16_t noteStep() override;
    std::int16_t stepPeriod() override;
    std::int16_t instrument() override;
    std::int16_t beatBox(int index) override;
    void setArpegiateCaption(const std::string& caption) override;
    void setBeatButtonCaption(const std::string& caption) override;
    void setInstrumentCaption(const std::string& caption) override;
    void showMonitor(const std::string& status, const std::string& first, const std::string& second) override;

    // While mnuMidiSetup_Click loads or shows the dialog, the dialog's own
    // code may be on the stack (an error raised by Ok's reopening); it is
    // then unloaded only once its modal show has returned.
    bool setupRunning_ = false;
    bool setupUnloadPending_ = false;
    // A device or the MIDI system was lost since the kept dialog listed.
    bool setupListsOutdated_ = false;
};

}  // namespace marovane
