// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace marovane {

// A device that an open connection depends on. The reader marks it gone, and
// tells the connection's change sink, when the sequencer announces that its
// port or its whole client went away. When an overflow may have cost it that
// news, it marks the device unsure and tells the sink too: whoever watches
// the device then looks for it.
class WatchedDevice {
public:
    WatchedDevice(snd_seq_addr_t address, ChangeSink& changes) : address_(address), changes_(changes) {}
    snd_seq_addr_t address() const { return address_; }
    bool gone() const { return gone_; }
    void markGone() { gone_ = true; }
    // Whether it was marked unsure since the last call.
    bool takeUnsure() { return unsure_.exchange(false); }

private:
    friend class SequencerReader;

    snd_seq_addr_t address_;
    ChangeSink& changes_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> unsure_{false};
};

// Reads what arrives at the client's input port on a thread of its own, which
// waits in poll() for the sequencer or for the stop. It is no real-time
// thread, so it simply hands each message to the open inputs' sinks (the
// input queue wakes the UI thread once per batch) and each loss to the
// watched devices. The UI thread then never waits for the sequencer, and the
// back end needs no hook into the UI thread's event loop.
//
// Adding and removing are for the UI thread; once a remove returned, the
// reader never calls that sink or device again.
class SequencerReader {
public:
    // Starts reading; throws a PortError when it cannot.
    SequencerReader(snd_seq_t* seq, snd_seq_addr_t inPort);
    ~SequencerReader();
    SequencerReader(const SequencerReader&) = delete;
    SequencerReader& operator=(const SequencerReader&) = delete;

    void addInput(ReceiveSink& sink);
    void removeInput(ReceiveSink& sink);
    void watch(WatchedDevice& device);
    void unwatch(WatchedDevice& device);

private:
    void run();
    // Whether it stopped at the batch's end, with more maybe waiting.
    bool readWaiting();
    void handle(const snd_seq_event_t& event);
    void lose(int client, int port);
    void overflowed();

    snd_seq_t* seq_;
    const int inPort_;
    int stopFd_ = -1;
    std::mutex mutex_;
    std::vector<ReceiveSink*> inputs_;
    std::vector<WatchedDevice*> devices_;
    std::thread thread_;  // last: it uses the rest
};

}  // namespace marovane
