// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmMain.h"

#include "FileListBox.h"
#include "MessageBox.h"
#include "Placement.h"
#include "Twips.h"

#include "ports/PortCommands.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <utility>

namespace marovane {

namespace {

constexpr int clientWidth = 9660;
constexpr int clientHeight = 8235;
const QString beatsFolder = "Beats";

QString qt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmMain::frmMain(MidiBackend& midi, UiThread& ui)
    : MIDIInput1(midi, ui),
      MIDIOutput1(midi, ui),
      arptimer([this](QtStepTimer::Clock::time_point due) {
          tickDue_ = due;
          tickInTurn_();
      }),
      performance(*this, arptimer, MIDIOutput1) {
    setWindowTitle("midi Quellant");
    auto* client = new QWidget(this);
    client->setFixedSize(pixels(clientWidth), pixels(clientHeight));
    setCentralWidget(client);
    buildControls(client);
    chainTabOrder();
    buildMenus();
    // A fixed single border: a close box and a minimise button, no maximise.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    MIDIInput1.onMessage = turns_.inTurn([this] { performance.MIDIInput1_Message(MIDIInput1); });
    // A tick kept waiting runs once, at the latest due time; one kept while
    // the clock was stopped meanwhile is dropped.
    tickInTurn_ = turns_.inTurn([this] {
        if (arptimer.Enabled()) arptimer_Timer(tickDue_);
    });
    MIDIInput1.onError = [this](std::int16_t code, const std::string& text) { MIDIInput1_Error(code, text); };
    MIDIOutput1.onError = [this](std::int16_t code, const std::string& text) { MIDIOutput1_Error(code, text); };
    Form_Load();
}

frmMain::~frmMain() {
    // The ports close as members go; by then no handler of the window may run.
    MIDIInput1.onMessage = nullptr;
    MIDIInput1.onError = nullptr;
    MIDIOutput1.onError = nullptr;
}

void frmMain::Form_Load() {
    performance.state.setuppending = flagOn;
    performance.state.arpmode = false;
    // Patterns live in "Beats" in the working directory; a first start makes
    // it. If it cannot be made, the list stays empty and both beat file
    // buttons answer "file error".
    QDir().mkpath(beatsFolder);
    File1->setPath(beatsFolder);
    adjustSize();
    centreOnScreen(*this);
    Command1->setFocus();
}

void frmMain::Command1_Click() {
    if (performance.state.setuppending == flagOn) mnuMidiSetup_Click();
    StartPorts(MIDIInput1, MIDIOutput1);
}

void frmMain::stopbutton_Click() { mnuFileExit_Click(); }

void frmMain::arptimer_Timer(QtStepTimer::Clock::time_point due) {
    // The step's notes are placed at the time the tick was due.
    MIDIOutput1.setDueTime(due);
    performance.arptimer_Timer();
    MIDIOutput1.setDueTime(std::nullopt);
}

void frmMain::mnuFileExit_Click() {
    ClosePortsForExit(MIDIInput1, MIDIOutput1);
    endProgram();
}

void frmMain::mnuMidiSetup_Click() {
    setupRunning_ = true;
    if (!setupForm) {
        setupListsOutdated_ = false;  // its load lists the devices there are now
        setupForm = std::make_unique<MIDISetupForm>(MIDIInput1, MIDIOutput1);
    } else if (std::exchange(setupListsOutdated_, false)) {
        setupForm->relist();
    }
    const int result = setupForm->exec();
    setupRunning_ = false;
    // Ok hides the dialog and keeps it; Cancel and the title bar unload it,
    // so that the next showing lists the devices afresh.
    if (result == QDialog::Rejected || std::exchange(setupUnloadPending_, false)) setupForm.reset();
    performance.state.setuppending = flagOff;
}

void frmMain::unloadSetupForm() {
    if (setupRunning_) {
        setupUnloadPending_ = true;
    } else {
        setupForm.reset();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    ClosePortsForUnload(MIDIInput1, MIDIOutput1);
    endProgram();
}

void frmMain::endProgram() {
    // Nothing may run after this: no step, no received message.
    arptimer.setEnabled(false);
    MIDIInput1.onMessage = nullptr;
    unloadSetupForm();
    if (setupForm) setupForm->hide();  // it goes once its show has returned
    hide();
    emit ended();
}

void frmMain::MIDIInput1_Error(std::int16_t code, const std::string& text) { showPortError(code, text); }
void frmMain::MIDIOutput1_Error(std::int16_t code, const std::string& text) { showPortError(code, text); }

void frmMain::showPortError(std::int16_t code, const std::string& text) {
    // The kept lists would name what is gone and miss what came since. They
    // are read again at the next showing, rather than the dialog unloaded:
    // its next load would reopen both ports, the one still playing too.
    if (outdatesDeviceLists(code)) setupListsOutdated_ = true;
    if (isShownPortError(code)) showMessage(this, qt(text));
}

std::int16_t frmMain::noteStep() { return static_cast<std::int16_t>(notescroll->value()); }
std::int16_t frmMain::stepPeriod() { return static_cast<std::int16_t>(intervalscroll->value()); }
std::int16_t frmMain::instrument() { return static_cast<std::int16_t>(instruslide->value()); }

std::int16_t frmMain::beatBox(int index) {
    switch (beatbox.at(index)->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void frmMain::setArpegiateCaption(const std::string& caption) { arpegiate->setText(qt(caption)); }
void frmMain::setBeatButtonCaption(const std::string& caption) { beatbutton->setText(qt(caption)); }
void frmMain::setInstrumentCaption(const std::string& caption) { label1->setText(qt(caption)); }

void frmMain::showMonitor(const std::string& status, const std::string& first, const std::string& second) {
    message->setText(qt(status));
    data1->setText(qt(first));
    data2->setText(qt(second));
}

}  // namespace marovane
