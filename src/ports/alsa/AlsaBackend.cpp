// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlsaBackend.h"

#include "AlsaConnections.h"
#include "AlsaSession.h"

namespace marovane {

namespace {

template <class Base, class Connection, class... Args>
Opened<Base> openNew(Args&&... args) {
    try {
        return {std::make_unique<Connection>(std::forward<Args>(args)...), {}};
    } catch (const PortError& error) {
        return {nullptr, error};
    }
}

}  // namespace

AlsaBackend::AlsaBackend() = default;
AlsaBackend::~AlsaBackend() = default;

bool AlsaBackend::available() {
    // A lost sequencer stays with the connections that used it.
    if (session_ && session_->reader.lost()) session_.reset();
    if (session_) return true;
    auto client = SequencerClient::open(openError_);
    if (!client) return false;
    try {
        session_ = std::make_shared<AlsaSession>(std::move(client));
    } catch (const PortError& error) {
        openError_ = error;
    }
    return session_ != nullptr;
}

std::vector<MidiDevice> AlsaBackend::listed(unsigned caps) {
    std::vector<MidiDevice> devices;
    if (!available()) return devices;
    for (const auto& port : session_->client->ports(caps)) devices.push_back({port.id(), port.name});
    return devices;
}

std::vector<MidiDevice> AlsaBackend::inputDevices() { return listed(SequencerClient::readable); }

std::vector<MidiDevice> AlsaBackend::outputDevices() { return listed(SequencerClient::writable); }

std::string AlsaBackend::virtualOutputName() { return SequencerClient::outPortName; }

Opened<InputConnection> AlsaBackend::openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) {
    if (!available()) return {nullptr, openError_};
    return openNew<InputConnection, AlsaInput>(session_, std::optional(device), sink, changes);
}

Opened<OutputConnection> AlsaBackend::openOutput(const MidiDevice& device, ChangeSink& changes) {
    if (!available()) return {nullptr, openError_};
    return openNew<OutputConnection, AlsaOutput>(session_, std::optional(device), changes);
}

Opened<OutputConnection> AlsaBackend::openVirtualOutput(ChangeSink& changes) {
    if (!available()) return {nullptr, openError_};
    return openNew<OutputConnection, AlsaOutput>(session_, std::optional<MidiDevice>(), changes);
}

Opened<InputConnection> AlsaBackend::openVirtualInput(ReceiveSink& sink, ChangeSink& changes) {
    if (!available()) return {nullptr, openError_};
    return openNew<InputConnection, AlsaInput>(session_, std::optional<MidiDevice>(), sink, changes);
}

}  // namespace marovane
