#pragma once

#include "MidiBackend.h"
#include "MidiPorts.h"
#include "PortCodes.h"
#include "UiWake.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marovane {

// What the input and output port components share: the device list, the
// selected device, the state and the Error event. Every property write and
// every action is allowed in every state; what cannot be done is reported
// through Error, never thrown.
template <class PortInterface>
class MIDIPort : public PortInterface {
public:
    using ErrorHandler = std::function<void(std::int16_t code, const std::string& text)>;

    MIDIPort(const MIDIPort&) = delete;
    MIDIPort& operator=(const MIDIPort&) = delete;

    // Reading the count lists the devices afresh; ProductName and ActionOpen
    // then refer to that listing, so the numbers a user picked from stay valid.
    std::int16_t DeviceCount() override;
    std::int16_t DeviceID() const override { return deviceId_; }
    void setDeviceID(std::int16_t id) override { deviceId_ = id; }
    std::string ProductName() override;
    std::int16_t State() const override { return state_; }

    // The Error event: a code (see PortErrorCode) and a text for the user.
    ErrorHandler onError;

protected:
    MIDIPort(MidiBackend& backend, UiThread& ui)
        : backend_(backend), changes_(UiWake::create(ui, [this] { connectionChanged(); })) {}

    virtual std::vector<std::string> listDevices() = 0;
    // Name of a device that is not in the listing (the output's -1), or empty.
    virtual std::string extraDeviceName(std::int16_t id);

    // The listed name of the selected device; false, with Error raised, when
    // DeviceID is outside the listing.
    bool selectedDevice(std::string& name, const char* kind);
    void raiseError(std::int16_t code, const std::string& text);
    void raiseError(const PortError& error) { raiseError(error.code, error.text); }

    // On the UI thread, after the back end said the open connection may have
    // failed.
    virtual void connectionChanged() = 0;
    // Whether `connection` has failed; if so, `drop` lets go of it without
    // sending anything more, and then the cause is reported.
    bool dropIfFailed(Connection* connection, const std::function<void()>& drop);

    MidiBackend& backend_;
    // Passed to the back end with every open.
    std::shared_ptr<UiWake> changes_;
    std::int16_t state_ = StateClosed;

private:
    const std::vector<std::string>& devices();

    std::int16_t deviceId_ = 0;
    std::vector<std::string> devices_;
    bool listed_ = false;
};

}  // namespace marovane
