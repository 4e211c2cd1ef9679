// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MessageSender.h"
#include "PortCodes.h"

#include <cstdint>
#include <string>

namespace marovane {

// The properties of a MIDI port component that the program reads and writes.
// The handlers that open, start and close ports work on these, so that the
// exact order of their reads and writes can be checked.
class MidiPortProperties {
public:
    virtual ~MidiPortProperties() = default;
    virtual std::int16_t DeviceCount() = 0;
    virtual std::int16_t DeviceID() const = 0;
    virtual void setDeviceID(std::int16_t id) = 0;
    virtual std::string ProductName() = 0;
    // What tells the device DeviceID selects apart from every other device
    // there is now, whatever its number and name; empty for a device outside
    // the listing (the output's -1).
    virtual std::string selectedDeviceId() = 0;
    virtual std::int16_t State() const = 0;
    // Performs the action (see PortAction) before returning.
    virtual void setAction(std::int16_t code) = 0;
};

class MidiInputPort : public MidiPortProperties {
public:
    virtual std::int16_t MessageCount() const = 0;
    virtual std::int16_t Message() const = 0;
    virtual std::int16_t Data1() const = 0;
    virtual std::int16_t Data2() const = 0;
};

class MidiOutputPort : public MidiPortProperties, public MessageSender {
public:
    virtual void setMessage(std::int16_t status) = 0;
    virtual void setData1(std::int16_t value) = 0;
    virtual void setData2(std::int16_t value) = 0;

    // Writes Message, Data1 and Data2 in this order, then ActionSend.
    void send(std::int16_t status, std::int16_t data1, std::int16_t data2) final {
        setMessage(status);
        setData1(data1);
        setData2(data2);
        setAction(ActionSend);
    }
};

}  // namespace marovane
