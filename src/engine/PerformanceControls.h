// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace marovane {

// The window's controls as the engine sees them: the values it reads and the
// captions it writes.
class PerformanceControls {
public:
    virtual ~PerformanceControls() = default;

    virtual std::int16_t noteStep() = 0;    // notescroll: semitones per arpeggio step
    virtual std::int16_t stepPeriod() = 0;  // intervalscroll: milliseconds per step
    virtual std::int16_t instrument() = 0;  // instruslide: program number
    // beatbox(index): 0 clear, 1 ticked, 2 dimmed; index = row * 16 + column.
    virtual std::int16_t beatBox(int index) = 0;

    virtual void setArpegiateCaption(const std::string& caption) = 0;
    virtual void setBeatButtonCaption(const std::string& caption) = 0;
    virtual void setInstrumentCaption(const std::string& caption) = 0;  // label1
    // The monitor boxes message, data1 and data2: the last message received.
    virtual void showMonitor(const std::string& message, const std::string& data1, const std::string& data2) = 0;
};

}  // namespace marovane
