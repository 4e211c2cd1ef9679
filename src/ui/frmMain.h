#pragma once

#include "QtStepTimer.h"
#include "engine/Performance.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "ports/MIDISetupForm.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace marovane {

// The main window: the performance controls, the beat grid, the step clock
// and the two MIDI ports. The ports stay closed until the device setup opens
// them, and "go" starts them.
class frmMain : public QMainWindow, private PerformanceControls {
    Q_OBJECT

public:
    frmMain(MidiBackend& midi, UiThread& ui);
    ~frmMain() override;

    void Command1_Click();
    void stopbutton_Click();
    void mnuFileExit_Click();
    void mnuMidiSetup_Click();

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
    std::array<QCheckBox*, Performance::gridBoxes> beatbox{};
    QAction* mnuFileExit = nullptr;
    QAction* mnuMidiSetup = nullptr;
    QAction* mnuMidiThru = nullptr;

    // The device setup dialog while it is loaded (shown, or hidden after Ok).
    std::unique_ptr<MIDISetupForm> setupForm;

signals:
    // The program is to end now: the ports are closed and every window gone.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(QWidget* client);
    void buildMenus();
    void Form_Unload();
    void endProgram();
    void MIDIInput1_Error(std::int16_t code, const std::string& text);
    void MIDIOutput1_Error(std::int16_t code, const std::string& text);
    void showPortError(std::int16_t code, const std::string& text);

    std::int16_t noteStep() override;
    std::int16_t stepPeriod() override;
    std::int16_t instrument() override;
    std::int16_t beatBox(int index) override;
    void setArpegiateCaption(const std::string& caption) override;
    void setBeatButtonCaption(const std::string& caption) override;
    void setInstrumentCaption(const std::string& caption) override;
    void showMonitor(const std::string& status, const std::string& first, const std::string& second) override;
};

}  // namespace marovane
