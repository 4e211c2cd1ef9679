#pragma once

#include "ports/alsa/AlsaSession.h"
#include "ports/MidiBackend.h"

#include <memory>
#include <optional>
#include <string>

namespace marovane {

// An input: a subscription from the device to the client's "Marovane In",
// made on opening and removed on closing. Everything that arrives at that
// port while the input is open is its message, including what other programs
// connected to it send.
class AlsaInput final : public InputConnection {
public:
    // Throws a PortError when the device is not listed or cannot be connected.
    AlsaInput(std::shared_ptr<AlsaSession> session, const std::string& device, ReceiveSink& sink,
              ChangeSink& changes);
    ~AlsaInput() override;

    std::optional<PortError> failure() override;

private:
    std::shared_ptr<AlsaSession> session_;
    const std::string device_;
    ReceiveSink& sink_;
    WatchedDevice watched_;
    std::optional<Subscription> subscription_;
};

// An output on the client's "Marovane Out": without a device, the port alone,
// for other programs to connect to; with one, also a subscription from it to
// the device, made on opening and removed on closing. Messages go to every
// subscriber of the port.
class AlsaOutput final : public OutputConnection {
public:
    // Throws a PortError when the device is not listed or cannot be connected.
    AlsaOutput(std::shared_ptr<AlsaSession> session, const std::optional<std::string>& device, ChangeSink& changes);
    ~AlsaOutput() override;

    std::optional<PortError> failure() override;
    PortError send(const std::vector<unsigned char>& bytes, SendTime due) override;

private:
    std::shared_ptr<AlsaSession> session_;
    const std::optional<std::string> device_;
    std::optional<WatchedDevice> watched_;
    std::optional<Subscription> subscription_;
    bool overloadTold_ = false;
};

}  // namespace marovane
