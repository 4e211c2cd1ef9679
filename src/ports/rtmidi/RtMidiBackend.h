#pragma once

#include "ports/MidiBackend.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marovane {

class JackWatch;

// MIDI systems the RtMidi back end can use. Our own names, so that this
// header does not need RtMidi's (RtMidi is a private dependency).
enum class MidiSystem { AlsaSequencer, Jack };

// The real MIDI system, through RtMidi: the first system in the preference
// order that can be opened. Until one is found, every use looks again, so
// that a JACK server started meanwhile is picked up; so does the first use
// after the JACK server went away. Under JACK a watch of its own (see
// JackWatch) tells the open connections when their device or the server
// goes, and paces the outputs so that a flood loses nothing. The first one
// made keeps what the MIDI libraries print on their own off the terminal
// (see LibraryRoutes).
//
// Use from one thread; only the input sinks are called on other threads.
class RtMidiBackend : public MidiBackend {
public:
    explicit RtMidiBackend(std::vector<MidiSystem> preference = {MidiSystem::AlsaSequencer, MidiSystem::Jack});

    std::vector<std::string> inputDevices() override;
    std::vector<std::string> outputDevices() override;
    std::string virtualOutputName() override;

    Opened<InputConnection> openInput(const std::string& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const std::string& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;

private:
    bool findSystem();
    bool useSystem(MidiSystem system);
    PortError noSystem() const;

    std::vector<MidiSystem> preference_;
    // Empty until a system was found.
    std::optional<MidiSystem> system_;
    // Under JACK, shared with the open connections.
    std::shared_ptr<JackWatch> watch_;
};

}  // namespace marovane
