// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlsaConnections.h"

#include "ports/DeviceErrors.h"

#include <cerrno>
#include <utility>

namespace marovane {

namespace {

std::optional<snd_seq_addr_t> find(const SequencerClient& client, const MidiDevice& device, PortDirection direction) {
    return client.find(device.id, device.name,
                       direction == PortDirection::Input ? SequencerClient::readable : SequencerClient::writable);
}

snd_seq_addr_t listed(const SequencerClient& client, const MidiDevice& device, PortDirection direction) {
    const auto address = find(client, device, direction);
    if (!address) throw noSuchDevice(device.name, direction);
    return *address;
}

}  // namespace

// Watched before subscribed, so that a device that goes in between is seen.
DeviceLink::DeviceLink(AlsaSession& session, const MidiDevice& device, PortDirection direction, ChangeSink& changes)
    : session_(session),
      device_(device),
      direction_(direction),
      watched_(session.reader, listed(*session.client, device, direction), changes) {
    snd_seq_t* seq = session_.client->handle();
    if (direction == PortDirection::Input)
        subscription_.emplace(seq, watched_.address(), session_.client->inPort());
    else
        subscription_.emplace(seq, session_.client->outPort(), watched_.address());
}

std::optional<PortError> DeviceLink::failure() {
    if (auto lost = session_.reader.loss()) return lost;
    // Still listed at its address under its name, or it went unannounced.
    if (watched_.takeUnsure() && !find(*session_.client, device_, direction_)) watched_.markGone();
    if (watched_.gone()) return deviceGone(device_.name, direction_);
    return std::nullopt;
}

AlsaInput::AlsaInput(std::shared_ptr<AlsaSession> session, const std::optional<MidiDevice>& device, ReceiveSink& sink,
                     ChangeSink& changes)
    : session_(std::move(session)), sink_(sink) {
    if (device)
        link_.emplace(*session_, *device, PortDirection::Input, changes);
    else
        ownPort_.emplace(session_->reader, std::nullopt, changes);
    session_->reader.addInput(sink_);
}

AlsaInput::~AlsaInput() { session_->reader.removeInput(sink_); }

AlsaOutput::AlsaOutput(std::shared_ptr<AlsaSession> session, const std::optional<MidiDevice>& device,
                       ChangeSink& changes)
    : session_(std::move(session)) {
    if (device)
        link_.emplace(*session_, *device, PortDirection::Output, changes);
    else
        ownPort_.emplace(session_->reader, std::nullopt, changes);
}

// Also on the program's own port, which stays: the program's end closes the
// client next, and that drops every event still waiting on its queue.
AlsaOutput::~AlsaOutput() { session_->sender.flush(); }

std::optional<PortError> AlsaOutput::failure() { return link_ ? link_->failure() : session_->reader.loss(); }

PortError AlsaOutput::send(const std::vector<unsigned char>& bytes, SendTime due) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (!session_->encoder.encode(bytes, event)) {
        return {ErrorNotDone, "Not sent: the ALSA sequencer has no event for this message."};
    }
    snd_seq_ev_set_source(&event, session_->client->outPort().port);
    snd_seq_ev_set_subs(&event);
    const int sent = session_->sender.send(event, due);
    if (sent == -EAGAIN || sent == -ENOMEM) {
        // Said once; the messages after it are dropped quietly until one goes.
        if (std::exchange(overloadTold_, true)) {
            return {ErrorNotDone, "The MIDI message was not sent: the ALSA sequencer is still full."};
        }
        return {ErrorSendFailed,
                "The MIDI output cannot keep up: the ALSA sequencer holds as many messages as it can take, so "
                "messages are dropped until it has room again."};
    }
    if (sent < 0) {
        return {ErrorSendFailed, std::string("The MIDI message was not sent: ") + snd_strerror(sent) + "."};
    }
    overloadTold_ = false;
    return {};
}

}  // namespace marovane
