#include "LoopbackBackend.h"

#include <algorithm>

namespace marovane {

class LoopbackBackend::Input : public InputConnection {
public:
    Input(LoopbackBackend& owner, std::string device, ReceiveSink& sink)
        : owner_(owner), device_(std::move(device)), sink_(sink) {}
    ~Input() override {
        std::lock_guard lock(owner_.mutex_);
        if (owner_.input_ == this) owner_.input_ = nullptr;
    }

    LoopbackBackend& owner_;
    std::string device_;
    ReceiveSink& sink_;
};

class LoopbackBackend::Output : public OutputConnection {
public:
    Output(LoopbackBackend& owner, std::string device) : owner_(owner), device_(std::move(device)) {}

    PortError send(const std::vector<unsigned char>& bytes) override {
        std::lock_guard lock(owner_.mutex_);
        if (owner_.failSend.code != 0) return owner_.failSend;
        owner_.sent_.push_back({device_, bytes});
        return {};
    }

private:
    LoopbackBackend& owner_;
    std::string device_;
};

namespace {
bool listed(const std::vector<std::string>& devices, const std::string& device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}
}  // namespace

Opened<InputConnection> LoopbackBackend::openInput(const std::string& device, ReceiveSink& sink) {
    if (failOpen.code != 0) return {nullptr, failOpen};
    if (!listed(inputs, device)) return {nullptr, {ErrorNoSuchDevice, "no input " + device}};
    auto input = std::make_unique<Input>(*this, device, sink);
    std::lock_guard lock(mutex_);
    input_ = input.get();
    return {std::move(input), {}};
}

Opened<OutputConnection> LoopbackBackend::openOutput(const std::string& device) {
    if (failOpen.code != 0) return {nullptr, failOpen};
    if (!listed(outputs, device)) return {nullptr, {ErrorNoSuchDevice, "no output " + device}};
    return {std::make_unique<Output>(*this, device), {}};
}

Opened<OutputConnection> LoopbackBackend::openVirtualOutput() {
    if (failOpen.code != 0) return {nullptr, failOpen};
    return {std::make_unique<Output>(*this, std::string{}), {}};
}

bool LoopbackBackend::receive(const std::vector<unsigned char>& bytes) {
    std::lock_guard lock(mutex_);
    if (!input_) return false;
    input_->sink_.received(bytes.data(), bytes.size());
    return true;
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

void LoopbackBackend::clearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
}

}  // namespace marovane
