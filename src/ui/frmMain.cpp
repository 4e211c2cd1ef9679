#include "frmMain.h"

#include "Twips.h"

#include "ports/PortCommands.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

namespace marovane {

namespace {

constexpr int clientWidth = 9660;
constexpr int clientHeight = 8235;

// Beat grid: box (row, column) at Left 1560 + 360 * column, Top 3360 + 360 * row.
constexpr int gridLeft = 1560;
constexpr int gridTop = 3360;
constexpr int gridPitch = 360;
constexpr int boxSize = 255;

QScrollBar* scrollBar(QWidget* parent, Qt::Orientation orientation, int minimum, int maximum, int smallStep,
                      int largeStep, int value) {
    auto* bar = new QScrollBar(orientation, parent);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(smallStep);
    bar->setPageStep(largeStep);
    bar->setValue(value);
    return bar;
}

QString qt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmMain::frmMain(MidiBackend& midi, UiThread& ui)
    : MIDIInput1(midi, ui),
      MIDIOutput1(midi, ui),
      arptimer([this] { performance.arptimer_Timer(); }),
      performance(*this, arptimer, MIDIOutput1) {
    setWindowTitle("midi Quellant");
    auto* client = new QWidget(this);
    client->setFixedSize(pixels(clientWidth), pixels(clientHeight));
    setCentralWidget(client);
    buildControls(client);
    buildMenus();
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    MIDIInput1.onMessage = [this] { performance.MIDIInput1_Message(MIDIInput1); };
    MIDIInput1.onError = [this](std::int16_t code, const std::string& text) { MIDIInput1_Error(code, text); };
    MIDIOutput1.onError = [this](std::int16_t code, const std::string& text) { MIDIOutput1_Error(code, text); };
}

frmMain::~frmMain() {
    // The ports close as members go; by then no handler of the window may run.
    MIDIInput1.onMessage = nullptr;
    MIDIInput1.onError = nullptr;
    MIDIOutput1.onError = nullptr;
}

void frmMain::buildControls(QWidget* client) {
    Command1 = new QPushButton("go", client);
    Command1->setGeometry(twipsRect(360, 360, 855, 615));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    stopbutton = new QPushButton("stop", client);
    stopbutton->setGeometry(twipsRect(360, 1200, 855, 615));
    connect(stopbutton, &QPushButton::clicked, this, [this] { stopbutton_Click(); });

    message = new QLineEdit(client);
    message->setGeometry(twipsRect(2520, 360, 1455, 375));
    data1 = new QLineEdit(client);
    data1->setGeometry(twipsRect(2520, 960, 1455, 375));
    data2 = new QLineEdit(client);
    data2->setGeometry(twipsRect(2520, 1560, 1455, 375));

    arpegiate = new QPushButton("Arpegiate", client);
    arpegiate->setGeometry(twipsRect(8040, 0, 1455, 375));
    connect(arpegiate, &QPushButton::clicked, this, [this] { performance.arpegiate_Click(); });

    intervalscroll = scrollBar(client, Qt::Horizontal, 50, 1000, 50, 250, 500);
    intervalscroll->setGeometry(twipsRect(5280, 120, 2295, 135));
    notescroll = scrollBar(client, Qt::Horizontal, -20, 20, 1, 5, 5);
    notescroll->setGeometry(twipsRect(5280, 840, 2295, 135));

    beatbutton = new QPushButton("Beat Mode", client);
    beatbutton->setGeometry(twipsRect(1560, 2880, 1575, 375));
    connect(beatbutton, &QPushButton::clicked, this, [this] { performance.beatbutton_Click(); });

    instruslide = scrollBar(client, Qt::Vertical, 0, 127, 1, 10, 0);
    instruslide->setGeometry(twipsRect(7920, 3240, 255, 1815));
    // A dragged thumb sends one program change, on release, not one per value.
    instruslide->setTracking(false);
    connect(instruslide, &QScrollBar::valueChanged, this, [this] { performance.instruslide_Change(); });

    label1 = new QLabel("Instrument", client);
    label1->setGeometry(twipsRect(8280, 4200, 975, 255));

    for (int i = 0; i < Performance::gridBoxes; ++i) {
        const int row = i / Performance::gridColumns;
        const int column = i % Performance::gridColumns;
        beatbox[i] = new QCheckBox(client);
        beatbox[i]->setGeometry(twipsRect(gridLeft + gridPitch * column, gridTop + gridPitch * row, boxSize, boxSize));
    }
}

void frmMain::buildMenus() {
    QMenu* mnuFile = menuBar()->addMenu("&File");
    mnuFileExit = mnuFile->addAction("E&xit");
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });

    QMenu* mnuMidi = menuBar()->addMenu("&MIDI");
    mnuMidiSetup = mnuMidi->addAction("&Setup");
    connect(mnuMidiSetup, &QAction::triggered, this, [this] { mnuMidiSetup_Click(); });
    // Thru is only a check mark that the menu toggles: every message is
    // forwarded whatever it shows.
    mnuMidiThru = mnuMidi->addAction("&Thru");
    mnuMidiThru->setCheckable(true);
    mnuMidiThru->setChecked(true);
}

void frmMain::Command1_Click() {
    if (performance.state.setuppending == flagOn) mnuMidiSetup_Click();
    StartPorts(MIDIInput1, MIDIOutput1);
}

void frmMain::stopbutton_Click() { mnuFileExit_Click(); }

void frmMain::mnuFileExit_Click() {
    ClosePortsForExit(MIDIInput1, MIDIOutput1);
    endProgram();
}

void frmMain::mnuMidiSetup_Click() {
    if (!setupForm) setupForm = std::make_unique<MIDISetupForm>(MIDIInput1, MIDIOutput1);
    // Ok hides the dialog and keeps it; Cancel and the title bar unload it,
    // so that the next showing lists the devices afresh.
    if (setupForm->exec() == QDialog::Rejected) setupForm.reset();
    performance.state.setuppending = flagOff;
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
    setupForm.reset();
    hide();
    emit ended();
}

void frmMain::MIDIInput1_Error(std::int16_t code, const std::string& text) { showPortError(code, text); }
void frmMain::MIDIOutput1_Error(std::int16_t code, const std::string& text) { showPortError(code, text); }

void frmMain::showPortError(std::int16_t code, const std::string& text) {
    if (!isShownPortError(code)) return;
    QMessageBox box(QMessageBox::NoIcon, "Marovane", qt(text), QMessageBox::Ok, this);
    box.exec();
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
