// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/PerformanceControls.h"
#include "engine/StepTimer.h"
#include "midi/BeatGrid.h"
#include "midi/MessageSender.h"
#include "midi/ShortMessage.h"

#include <array>
#include <vector>

namespace marovane::testing {

// The window's controls with their start settings.
struct FakeControls : PerformanceControls {
    std::int16_t notescroll = 5;
    std::int16_t intervalscroll = 500;
    std::int16_t instruslide = 0;
    std::array<std::int16_t, gridBoxes> beatbox{};
    std::string arpegiate = "Arpegiate";
    std::string beatbutton = "Beat Mode";
    std::string label1 = "Instrument";
    std::array<std::string, 3> monitor{};

    std::int16_t noteStep() override { return notescroll; }
    std::int16_t stepPeriod() override { return intervalscroll; }
    std::int16_t instrument() override { return instruslide; }
    std::int16_t beatBox(int index) override { return beatbox.at(index); }
    void setArpegiateCaption(const std::string& caption) override { arpegiate = caption; }
    void setBeatButtonCaption(const std::string& caption) override { beatbutton = caption; }
    void setInstrumentCaption(const std::string& caption) override { label1 = caption; }
    void showMonitor(const std::string& message, const std::string& data1, const std::string& data2) override {
        monitor = {message, data1, data2};
    }
};

// Counts restarts, so a test can tell a reload of the same period from a new one.
struct FakeTimer : StepTimer {
    bool enabled = false;
    int interval = 200;
    int starts = 0;

    bool Enabled() const override { return enabled; }
    void setEnabled(bool on) override {
        if (on && !enabled) ++starts;
        enabled = on;
    }
    int Interval() const override { return interval; }
    void setInterval(int milliseconds) override { interval = milliseconds; }
};

// Records exactly what the engine hands over, out-of-range values included.
struct RecordingSender : MessageSender {
    std::vector<ShortMessage> sent;
    void send(std::int16_t status, std::int16_t data1, std::int16_t data2) override {
        sent.push_back({status, data1, data2});
    }
};

}  // namespace marovane::testing
