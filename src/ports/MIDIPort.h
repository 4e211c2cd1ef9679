// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceErrors.h"
#include "MidiBackend.h"
#include "UiWake.h"
#include "midi/PortCodes.h"
#include "midi/PortInterfaces.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marovane {

// What the input and output port components share: the device list, the
// selected device, the Open/Close/Start/Stop state machine, the connection
// and the Error event. Every property write and every action is allowed in
// every state; what cannot be done is reported through Error, never thrown.
// The input and the output add what differs through the hooks below.
template <class PortInterface, class ConnectionKind>
class MIDIPort : public PortInterface {
public:
    using ErrorHandler = std::function<void(std::int16_t code, const std::string& text)>;

    MIDIPort(const MIDIPort&) = delete;
    MIDIPort& operator=(const MIDIPort&) = delete;

    // Reading the count lists the devices afresh; ProductName and ActionOpen
    // then refer to that listing, so the numbers a user picked from stay valid.
    // A name that two devices share is followed by the device's id, so that
    // the user can tell them apart.
    std::int16_t DeviceCount() override;
    std::int16_t DeviceID() const override { return deviceId_; }
    void setDeviceID(std::int16_t id) override { deviceId_ = id; }
    std::string ProductName() override;
    std::string selectedDeviceId() override;
    std::int16_t State() const override { return state_; }
    void setAction(std::int16_t code) override;

    // The Error event: a code (see PortErrorCode) and a text for the user.
    ErrorHandler onError;

protected:
    MIDIPort(MidiBackend& backend, UiThread& ui, PortDirection direction)
        : backend_(backend), changes_(UiWake::create(ui, [this] { connectionChanged(); })), direction_(direction) {}

    virtual std::vector<MidiDevice> listDevices() = 0;
    // Name of a device that is not in the listing (the output's -1), or empty.
    virtual std::string extraDeviceName(std::int16_t id);
    // Opens the selected device; the port reports an error it returns.
    virtual Opened<ConnectionKind> openDevice() = 0;
    virtual void started(bool) {}
    // Last words on a working connection, before a close lets go of it.
    virtual void closing() {}
    // After the connection has gone, by a close or because it failed.
    virtual void released() {}
    virtual void next() {}
    virtual void sendCurrent() {}

    // The selected device of the listing, or nothing when DeviceID is outside
    // it; noDeviceNumber() then says so.
    std::optional<MidiDevice> selectedDevice();
    PortError noDeviceNumber() const { return marovane::noDeviceNumber(deviceId_, direction_); }
    void raiseError(std::int16_t code, const std::string& text);
    void raiseError(const PortError& error) { raiseError(error.code, error.text); }

    // Ends what sounds and lets go of the connection. Derived classes call it
    // from their destructors too, while what the connection feeds is there.
    void close();
    // Whether the connection has failed; if so it is let go of without a
    // word more on it (unless it goes on on another MIDI system), and then
    // the cause is reported.
    bool dropIfFailed();

    MidiBackend& backend_;
    // Passed to the back end with every open.
    std::shared_ptr<UiWake> changes_;
    std::unique_ptr<ConnectionKind> connection_;

private:
    const std::vector<MidiDevice>& devices();
    void open();
    void release();
    // On the UI thread, after the back end said the open connection may have
    // failed.
    void connectionChanged() { dropIfFailed(); }

    const PortDirection direction_;
    std::int16_t state_ = StateClosed;
    std::int16_t deviceId_ = 0;
    std::vector<MidiDevice> devices_;
    bool listed_ = false;
};

}  // namespace marovane
