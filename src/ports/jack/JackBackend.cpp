// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackBackend.h"

#include "JackClient.h"
#include "JackConnections.h"
#include "ports/DeviceErrors.h"
#include "ports/LibraryMessages.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

namespace marovane {

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// How long the UI thread waits for the server to take the client.
constexpr std::chrono::milliseconds answerWithin{100};
// How long the end waits for the client to close, at most.
constexpr std::chrono::seconds closeWithin{1};

}  // namespace

JackBackend::JackBackend() {
    jack_set_error_function(&reportLibraryMessage);
    jack_set_info_function(&reportLibraryMessage);
    startOpening();
}

JackBackend::~JackBackend() {
    if (!client_ && opening_.valid() && opening_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        client_ = opening_.get().client;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + (client_ && client_->answering() ? closeWithin : std::chrono::seconds(0));
    auto ended = calls_->ended();
    client_.reset();
    opening_ = {};
    calls_.reset();
    ended.wait_until(deadline);
}

// What fails here the first use tries again, and reports.
void JackBackend::startOpening() {
    auto opened = std::make_shared<std::promise<Opening>>();
    opening_ = opened->get_future();
    calls_->post([opened, calls = *calls_] {
        Opening opening;
        opening.client = JackClient::open(calls, opening.why);
        // A process's first listing reads the server's table of ports in
        // shared memory for the first time and was seen to take 20-30 ms
        // (later ones a few hundredths of a millisecond): better spent here.
        if (opening.client) opening.client->otherPorts(JackPortIsInput);
        opened->set_value(std::move(opening));
    });
}

bool JackBackend::takeOpening(PortError& why) {
    if (opening_.wait_for(answerWithin) != std::future_status::ready) {
        why = jackNotAnswering();
        if (std::exchange(silenceTold_, true)) why.code = 0;
        return false;
    }
    silenceTold_ = false;
    Opening opening = opening_.get();
    client_ = std::move(opening.client);
    why = std::move(opening.why);
    return true;
}

std::shared_ptr<JackClient> JackBackend::client(PortError& why) {
    if (!client_ && opening_.valid() && !takeOpening(why)) return nullptr;
    if (client_ && client_->gone()) {
        client_->close();
        client_.reset();
    }
    if (client_) return client_;
    startOpening();
    takeOpening(why);
    return client_;
}

bool JackBackend::available() {
    PortError why;
    return client(why) != nullptr;
}

// Never throws: a listing that fails lists nothing.
std::vector<MidiDevice> JackBackend::listed(unsigned long flags) {
    try {
        PortError why;
        const auto jack = client(why);
        std::vector<MidiDevice> devices;
        if (!jack) return devices;
        for (const auto& port : jack->otherPorts(flags)) devices.push_back({port, port});
        return devices;
    } catch (...) {
        return {};
    }
}

std::vector<MidiDevice> JackBackend::inputDevices() { return listed(JackPortIsOutput); }
std::vector<MidiDevice> JackBackend::outputDevices() { return listed(JackPortIsInput); }
std::string JackBackend::virtualOutputName() { return "Marovane Out"; }

// A device is opened by the name listed now: the listing the user chose from
// may be out of date, and the program's own ports are never listed, so that
// a thru cannot feed back into itself.
Opened<InputConnection> JackBackend::openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) {
    PortError why;
    const auto jack = client(why);
    if (!jack) return {nullptr, why};
    if (!contains(jack->otherPorts(JackPortIsOutput), device.id))
        return {nullptr, noSuchDevice(device.name, PortDirection::Input)};
    return openJackInput(jack, device.id, sink, changes);
}

Opened<OutputConnection> JackBackend::openOutput(const MidiDevice& device, ChangeSink& changes) {
    PortError why;
    const auto jack = client(why);
    if (!jack) return {nullptr, why};
    if (!contains(jack->otherPorts(JackPortIsInput), device.id))
        return {nullptr, noSuchDevice(device.name, PortDirection::Output)};
    return openJackOutput(jack, device.id, changes);
}

Opened<OutputConnection> JackBackend::openVirtualOutput(ChangeSink& changes) {
    PortError why;
    const auto jack = client(why);
    if (!jack) return {nullptr, why};
    return openJackOutput(jack, std::nullopt, changes);
}

Opened<InputConnection> JackBackend::openVirtualInput(ReceiveSink& sink, ChangeSink& changes) {
    PortError why;
    const auto jack = client(why);
    if (!jack) return {nullptr, why};
    return openJackInput(jack, std::nullopt, sink, changes);
}

}  // namespace marovane
