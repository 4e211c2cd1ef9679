// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AlsaSession.h"
#include "ports/DeviceErrors.h"
#include "ports/MidiBackend.h"

#include <memory>
#include <optional>
#include <string>

namespace marovane {

// A device a connection uses: found at its listed address, watched for its
// going, and joined to the client's port by a subscription the program makes
// and removes again.
class DeviceLink {
public:
    // An input goes from the device to "Marovane In", an output from
    // "Marovane Out" to the device. Throws a PortError when the device
    // is not listed or cannot be connected.
    DeviceLink(AlsaSession& session, const MidiDevice& device, PortDirection direction, ChangeSink& changes);
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    std::optional<PortError> failure();

private:
    AlsaSession& session_;
    const MidiDevice device_;
    const PortDirection direction_;
    Watch watched_;
    std::optional<Subscription> subscription_;
};

// An input: everything that arrives at the client's "Marovane In" while it
// is open is its message, including what other programs connected to that
// port send. Without a device, the port alone.
class AlsaInput final : public InputConnection {
public:
    // Throws a PortError when the device cannot be linked.
    AlsaInput(std::shared_ptr<AlsaSession> session, const std::optional<MidiDevice>& device, ReceiveSink& sink,
              ChangeSink& changes);
    ~AlsaInput() override;

    std::optional<PortError> failure() override { return link_ ? link_->failure() : session_->reader.loss(); }

private:
    std::shared_ptr<AlsaSession> session_;
    ReceiveSink& sink_;
    std::optional<DeviceLink> link_;
    std::optional<Watch> ownPort_;  // without a device, for the sequencer's loss
};

// An output on the client's "Marovane Out": without a device, the port alone,
// for other programs to connect to. Messages go to every subscriber of the
// port.
class AlsaOutput final : public OutputConnection {
public:
    // Throws a PortError when the device cannot be linked.
    AlsaOutput(std::shared_ptr<AlsaSession> session, const std::optional<MidiDevice>& device, ChangeSink& changes);
    // What waits on the queue goes at once, before the device's subscription
    // does and before the client's closing could drop it.
    ~AlsaOutput() override;

    std::optional<PortError> failure() override;
    PortError send(const std::vector<unsigned char>& bytes, SendTime due) override;

private:
    std::shared_ptr<AlsaSession> session_;
    std::optional<DeviceLink> link_;
    std::optional<Watch> ownPort_;  // without a device, for the sequencer's loss
    bool overloadTold_ = false;
};

}  // namespace marovane
