#pragma once

#include "QtStepTimer.h"
#include "engine/Performance.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"

#include <QMainWindow>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace marovane {

// The main window: the performance controls, the beat grid, the step clock
// and the two MIDI ports.
class frmMain : public QMainWindow, private PerformanceControls {
    Q_OBJECT

public:
    frmMain(MidiBackend& midi, UiThread& ui);

    MIDIInput MIDIInput1;
    MIDIOutput MIDIOutput1;
    QtStepTimer arptimer;
    Performance performance;

    QPushButton* arpegiate = nullptr;
    QPushButton* beatbutton = nullptr;
    QScrollBar* intervalscroll = nullptr;
    QScrollBar* notescroll = nullptr;
    QScrollBar* instruslide = nullptr;
    QLabel* label1 = nullptr;
    std::array<QCheckBox*, Performance::gridBoxes> beatbox{};

private:
    void buildControls(QWidget* client);
    void Form_Load();
    void MIDIPort_Error(std::int16_t code, const std::string& text);

    std::int16_t noteStep() override;
    std::int16_t stepPeriod() override;
    std::int16_t instrument() override;
    std::int16_t beatBox(int index) override;
    void setArpegiateCaption(const std::string& caption) override;
    void setBeatButtonCaption(const std::string& caption) override;
    void setInstrumentCaption(const std::string& caption) override;
};

}  // namespace marovane
