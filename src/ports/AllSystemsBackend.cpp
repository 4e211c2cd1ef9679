// SPDX-License-Identifier: GPL-3.0-or-later
#include "AllSystemsBackend.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace marovane {

namespace {

// Starts the id of a JACK device; no sequencer address ("client:port" in
// numbers) does.
constexpr std::string_view jackTag = "jack:";
constexpr std::string_view jackSuffix = " (JACK)";

// The JACK clients that mirror sequencer ports into JACK.
bool mirrorsSequencer(const MidiDevice& port) {
    constexpr std::array<std::string_view, 2> bridges{"a2j:", "Midi-Bridge:"};
    return std::any_of(bridges.begin(), bridges.end(),
                       [&](std::string_view bridge) { return port.id.starts_with(bridge); });
}

// One connection over the parts that opened on each system. The part on the
// chosen device, if any, is the first: its failure is the whole
// connection's; an own port's costs only that part.
template <class Kind>
class Joined : public Kind {
public:
    Joined(std::vector<std::unique_ptr<Kind>> parts, bool deviceFirst)
        : parts_(std::move(parts)), deviceFirst_(deviceFirst) {}

    std::optional<PortError> failure() override {
        std::optional<PortError> cause;
        for (auto part = parts_.begin(); part != parts_.end();) {
            auto why = (*part)->failure();
            if (!why) {
                ++part;
                continue;
            }
            if (deviceFirst_ && part == parts_.begin()) {
                goesOn_ = false;
                return why;
            }
            if (!cause || cause->code == 0) cause = std::move(why);
            part = parts_.erase(part);
        }
        goesOn_ = !parts_.empty();
        return cause;
    }
    bool goesOn() const override { return goesOn_; }

protected:
    std::vector<std::unique_ptr<Kind>> parts_;

private:
    const bool deviceFirst_;
    bool goesOn_ = true;
};

class JoinedOutput final : public Joined<OutputConnection> {
public:
    using Joined::Joined;

    // What one system refused is said; the others have it all the same.
    PortError send(const std::vector<unsigned char>& bytes, SendTime due) override {
        PortError first;
        for (const auto& part : parts_) {
            PortError error = part->send(bytes, due);
            if (first.code == 0) first = std::move(error);
        }
        return first;
    }
};

// One connection over `first` (a device's, or an own port's) and `second`
// (an own port's); one that did not open is a system not running. With one
// only, that one as its system gave it; with none, the reason for `first`.
template <class Kind, class Wrapper>
Opened<Kind> join(Opened<Kind> first, Opened<Kind> second, bool deviceFirst) {
    if (!first.connection) return second.connection ? std::move(second) : std::move(first);
    if (!second.connection) return first;
    std::vector<std::unique_ptr<Kind>> parts;
    parts.push_back(std::move(first.connection));
    parts.push_back(std::move(second.connection));
    return {std::make_unique<Wrapper>(std::move(parts), deviceFirst), {}};
}

}  // namespace

std::vector<MidiDevice> AllSystemsBackend::joined(std::vector<MidiDevice> sequencer, std::vector<MidiDevice> jack) {
    if (sequencer_.available()) std::erase_if(jack, mirrorsSequencer);
    for (auto& device : jack) {
        device.id.insert(0, jackTag);
        if (!sequencer.empty()) device.name += jackSuffix;
    }
    sequencer.insert(sequencer.end(), jack.begin(), jack.end());
    return sequencer;
}

std::vector<MidiDevice> AllSystemsBackend::inputDevices() {
    return joined(sequencer_.inputDevices(), jack_.inputDevices());
}

std::vector<MidiDevice> AllSystemsBackend::outputDevices() {
    return joined(sequencer_.outputDevices(), jack_.outputDevices());
}

MidiBackend& AllSystemsBackend::systemOf(const MidiDevice& device, MidiDevice& own) {
    own = device;
    if (!device.id.starts_with(jackTag)) return sequencer_;
    own.id.erase(0, jackTag.size());
    return jack_;
}

Opened<InputConnection> AllSystemsBackend::openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) {
    MidiDevice own;
    MidiBackend& system = systemOf(device, own);
    auto opened = system.openInput(own, sink, changes);
    if (!opened.connection) return opened;
    auto more = otherThan(system).openVirtualInput(sink, changes);
    return join<InputConnection, Joined<InputConnection>>(std::move(opened), std::move(more), true);
}

// An output on a device is that device's alone: the program's own port on
// the other system sends nothing then.
Opened<OutputConnection> AllSystemsBackend::openOutput(const MidiDevice& device, ChangeSink& changes) {
    MidiDevice own;
    return systemOf(device, own).openOutput(own, changes);
}

// Where neither system runs, the JACK side's reason is given.
Opened<OutputConnection> AllSystemsBackend::openVirtualOutput(ChangeSink& changes) {
    auto jack = jack_.openVirtualOutput(changes);
    auto sequencer = sequencer_.openVirtualOutput(changes);
    return join<OutputConnection, JoinedOutput>(std::move(jack), std::move(sequencer), false);
}

Opened<InputConnection> AllSystemsBackend::openVirtualInput(ReceiveSink& sink, ChangeSink& changes) {
    auto jack = jack_.openVirtualInput(sink, changes);
    auto sequencer = sequencer_.openVirtualInput(sink, changes);
    return join<InputConnection, Joined<InputConnection>>(std::move(jack), std::move(sequencer), false);
}

}  // namespace marovane
