// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiEventCoder.h"
#include "ports/MidiBackend.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace marovane {

class SequencerReader;

// What an open connection depends on, watched by the reader while this
// lives: the sequencer, and the device the connection links, if any. When
// the sequencer can no longer be read, the reader tells the connection's
// change sink. It marks the device gone, and tells the sink, when the
// sequencer announces that its port or its whole client went away; when an
// overflow may have cost it that news, it marks the device unsure and tells
// the sink too: whoever watches the device then looks for it.
class Watch {
public:
    // Without a device, for the program's own port alone.
    Watch(SequencerReader& reader, std::optional<snd_seq_addr_t> device, ChangeSink& changes);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    snd_seq_addr_t address() const { return *device_; }  // of a watched device only
    bool gone() const { return gone_; }
    void markGone() { gone_ = true; }
    // Whether it was marked unsure since the last call.
    bool takeUnsure() { return unsure_.exchange(false); }

private:
    friend class SequencerReader;

    SequencerReader& reader_;
    const std::optional<snd_seq_addr_t> device_;
    ChangeSink& changes_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> unsure_{false};
};

// Reads what arrives at the client's input port on a thread of its own, which
// waits in poll() for the sequencer or for the stop. It is no real-time
// thread, so it simply hands each message to the open inputs' sinks (the
// input queue wakes the UI thread once per batch) and each loss to the
// watches. The UI thread then never waits for the sequencer, and the
// back end needs no hook into the UI thread's event loop. When poll() fails
// or reports the sequencer's descriptor broken, the reader tells every watch
// and ends: the sequencer is lost.
//
// Adding and removing are for the UI thread; once a remove returned, the
// reader never calls that sink or watch again.
class SequencerReader {
public:
    // Starts reading; throws a PortError when it cannot.
    SequencerReader(snd_seq_t* seq, snd_seq_addr_t inPort);
    ~SequencerReader();
    SequencerReader(const SequencerReader&) = delete;
    SequencerReader& operator=(const SequencerReader&) = delete;

    void addInput(ReceiveSink& sink);
    void removeInput(ReceiveSink& sink);

    // Whether the reader ended because the sequencer is lost.
    bool lost() const { return lost_; }
    // The loss, if the sequencer is lost: the first to ask gets its code,
    // the others code 0, so that it is told once.
    std::optional<PortError> loss();

private:
    friend class Watch;

    void run();
    // Whether it stopped at the batch's end, with more maybe waiting.
    bool readWaiting();
    void handle(const snd_seq_event_t& event);
    void lose(int client, int port);
    void overflowed();
    void loseSequencer();

    snd_seq_t* seq_;
    const int inPort_;
    int stopFd_ = -1;
    std::mutex mutex_;
    std::vector<ReceiveSink*> inputs_;
    std::vector<Watch*> watches_;
    std::atomic<bool> lost_{false};
    std::atomic<bool> lossTold_{false};
    MidiEventCoder decoder_;  // the reader thread's own
    std::thread thread_;      // last: it uses the rest
};

}  // namespace marovane
