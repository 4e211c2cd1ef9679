// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopbackBackend.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace marovane {

struct LoopbackBackend::Cause {
    PortError error;
    bool told = false;
};

// What every loopback connection has: its device, its change sink and,
// once it failed, the cause.
class LoopbackBackend::Link {
public:
    Link(LoopbackBackend& owner, std::string device, ChangeSink& changes)
        : owner_(owner), device_(std::move(device)), changes_(changes) {
        std::lock_guard lock(owner_.mutex_);
        owner_.links_.push_back(this);
    }
    ~Link() {
        std::lock_guard lock(owner_.mutex_);
        std::erase(owner_.links_, this);
    }

    std::optional<PortError> failure() {
        std::lock_guard lock(owner_.mutex_);
        if (!cause_) return std::nullopt;
        if (std::exchange(cause_->told, true)) return PortError{0, cause_->error.text};
        return cause_->error;
    }

    LoopbackBackend& owner_;
    const std::string device_;
    ChangeSink& changes_;
    std::shared_ptr<Cause> cause_;
};

class LoopbackBackend::Input : public InputConnection, public Link {
public:
    Input(LoopbackBackend& owner, std::string device, ReceiveSink& sink, ChangeSink& changes)
        : Link(owner, std::move(device), changes), sink_(sink) {}
    ~Input() override {
        std::lock_guard lock(owner_.mutex_);
        if (owner_.input_ == this) owner_.input_ = nullptr;
    }
    std::optional<PortError> failure() override { return Link::failure(); }

    ReceiveSink& sink_;
};

class LoopbackBackend::Output : public OutputConnection, public Link {
public:
    using Link::Link;

    std::optional<PortError> failure() override { return Link::failure(); }

    PortError send(const std::vector<unsigned char>& bytes, SendTime due) override {
        std::lock_guard lock(owner_.mutex_);
        if (owner_.failSend.code != 0) return owner_.failSend;
        owner_.sent_.push_back({device_, bytes});
        owner_.dueTimes_.push_back(due);
        return {};
    }
};

namespace {
bool listed(const std::vector<std::string>& devices, const std::string& device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}
}  // namespace

std::vector<MidiDevice> LoopbackBackend::devices(const std::vector<std::string>& names) {
    std::vector<MidiDevice> devices;
    for (const auto& id : names) devices.push_back({id, id.substr(0, id.find('@'))});
    return devices;
}

Opened<InputConnection> LoopbackBackend::openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) {
    if (failOpen.code == 0 && !listed(inputs, device.id))
        return {nullptr, {ErrorNoSuchDevice, "no input " + device.id}};
    return openInputOn(device.id, sink, changes);
}

Opened<InputConnection> LoopbackBackend::openVirtualInput(ReceiveSink& sink, ChangeSink& changes) {
    return openInputOn({}, sink, changes);
}

Opened<InputConnection> LoopbackBackend::openInputOn(const std::string& device, ReceiveSink& sink,
                                                     ChangeSink& changes) {
    if (failOpen.code != 0) return {nullptr, failOpen};
    auto input = std::make_unique<Input>(*this, device, sink, changes);
    std::lock_guard lock(mutex_);
    input_ = input.get();
    return {std::move(input), {}};
}

Opened<OutputConnection> LoopbackBackend::openOutput(const MidiDevice& device, ChangeSink& changes) {
    if (failOpen.code != 0) return {nullptr, failOpen};
    if (!listed(outputs, device.id)) return {nullptr, {ErrorNoSuchDevice, "no output " + device.id}};
    return {std::make_unique<Output>(*this, device.id, changes), {}};
}

Opened<OutputConnection> LoopbackBackend::openVirtualOutput(ChangeSink& changes) {
    if (failOpen.code != 0) return {nullptr, failOpen};
    return {std::make_unique<Output>(*this, std::string{}, changes), {}};
}

bool LoopbackBackend::receive(const std::vector<unsigned char>& bytes) {
    std::lock_guard lock(mutex_);
    if (!input_) return false;
    input_->sink_.received(bytes.data(), bytes.size());
    return true;
}

void LoopbackBackend::overflow() {
    std::lock_guard lock(mutex_);
    if (input_) input_->sink_.overflowed();
}

void LoopbackBackend::fail(const std::string& device, const PortError& cause) {
    std::lock_guard lock(mutex_);
    const auto shared = std::make_shared<Cause>(Cause{cause});
    for (Link* link : links_) {
        if (!device.empty() && link->device_ != device) continue;
        link->cause_ = shared;
        link->changes_.systemChanged();
    }
}

std::string LoopbackBackend::openInputDevice() const {
    std::lock_guard lock(mutex_);
    return input_ ? input_->device_ : std::string{};
}

std::vector<LoopbackBackend::Sent> LoopbackBackend::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<std::vector<unsigned char>> LoopbackBackend::sentBytes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<unsigned char>> bytes;
    for (const auto& sent : sent_) bytes.push_back(sent.bytes);
    return bytes;
}

std::vector<SendTime> LoopbackBackend::dueTimes() const {
    std::lock_guard lock(mutex_);
    return dueTimes_;
}

void LoopbackBackend::clearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
    dueTimes_.clear();
}

}  // namespace marovane
