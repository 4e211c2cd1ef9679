#pragma once

#include "ports/MidiPorts.h"

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
    std::vector<std::string> names;
    std::int16_t state = 0;
    std::int16_t deviceId = 0;

    std::int16_t DeviceCount() override {
        trace.push_back("DeviceCount");
        return static_cast<std::int16_t>(names.size());
    }
    std::int16_t DeviceID() const override {
        trace.push_back("DeviceID?");
        return deviceId;
    }
    void setDeviceID(std::int16_t id) override {
        trace.push_back("DeviceID=" + std::to_string(id));
        deviceId = id;
    }
    std::string ProductName() override {
        trace.push_back("ProductName");
        return deviceId == -1 ? "virtual" : names.at(deviceId);
    }
    std::int16_t State() const override {
        trace.push_back("State?");
        return state;
    }
    void setAction(std::int16_t code) override {
        trace.push_back("Action=" + std::to_string(code));
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
