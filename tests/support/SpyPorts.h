// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/PortInterfaces.h"

#include <string>
#include <vector>

namespace marovane::testing {

// Port stand-ins that record every property read and write in order, for
// checking the exact sequences that open, start and close the ports.
// State follows the actions as a real port's would.
template <class Interface>
class SpyPort : public Interface {
public:
    mutable std::vector<std::string> trace;  // reads are logged too
    // When set, every entry is also logged here under the port's name, for
    // checking the order between two ports.
    std::vector<std::string>* joint = nullptr;
    std::string name;
    std::vector<std::string> names;
    std::int16_t state = 0;
    std::int16_t deviceId = 0;

    std::int16_t DeviceCount() override {
        record("DeviceCount");
        return static_cast<std::int16_t>(names.size());
    }
    std::int16_t DeviceID() const override {
        record("DeviceID?");
        return deviceId;
    }
    void setDeviceID(std::int16_t id) override {
        record("DeviceID=" + std::to_string(id));
        deviceId = id;
    }
    std::string ProductName() override {
        record("ProductName");
        return deviceId == -1 ? "virtual" : names.at(deviceId);
    }
    // Not logged: it is read beside each ProductName, outside the sequences
    // checked here.
    std::string selectedDeviceId() override { return deviceId == -1 ? "" : names.at(deviceId); }
    std::int16_t State() const override {
        record("State?");
        return state;
    }
    void record(std::string entry) const {
        if (joint) joint->push_back(name + " " + entry);
        trace.push_back(std::move(entry));
    }

    void setAction(std::int16_t code) override {
        record("Action=" + std::to_string(code));
        if (code == ActionOpen) state = 1;
        if (code == ActionClose) state = 0;
        if (code == ActionStart && state > 0) state = 2;
        if (code == ActionStop && state > 1) state = 1;
    }
};

struct SpyInput : SpyPort<MidiInputPort> {
    std::int16_t MessageCount() const override { return 0; }
    std::int16_t Message() const override { return 0; }
    std::int16_t Data1() const override { return 0; }
    std::int16_t Data2() const override { return 0; }
};

struct SpyOutput : SpyPort<MidiOutputPort> {
    void setMessage(std::int16_t) override {}
    void setData1(std::int16_t) override {}
    void setData2(std::int16_t) override {}
};

}  // namespace marovane::testing
