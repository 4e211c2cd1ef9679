// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "JackCycle.h"
#include "ServerCalls.h"
#include "ports/DeviceErrors.h"
#include "ports/MidiBackend.h"

#include <jack/jack.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace marovane {

// The program's one JACK client, "Marovane", with its ports "Marovane In" and
// "Marovane Out". It lives until the back end goes or its server is lost, so
// that the ports, and the connections others made to them, outlive the
// program's own connections.
//
// Threads: the UI thread calls everything public, and never waits for the
// server: what does (opening, connecting, disconnecting, closing) runs on the
// back end's ServerCalls thread, which the UI thread waits for a little at
// most. JACK's real-time thread runs the process cycle, which only moves
// messages through the two rings; JACK's other callbacks only set flags.
// Both wake the relay, a thread of the client's own, through a semaphore
// (sem_post neither blocks nor allocates): it hands incoming messages to the
// input sinks and news of the system to the change sinks (both may lock),
// and has connections removed once the messages sent before their closing
// have been written.
class JackClient : public std::enable_shared_from_this<JackClient> {
public:
    // Opens a client; null, with the reason in `why`, when no JACK server
    // takes it. It waits for the server: for the calls' thread. When the
    // last holder lets go, the client is closed there too, after what was
    // sent last has been written (see finish()).
    static std::shared_ptr<JackClient> open(const ServerCalls& calls, PortError& why);
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Whether the server went away; from then on nothing reaches libjack but
    // the closing.
    bool gone() const { return gone_; }
    // Lets go of the client of a lost server, on the calls' thread, before
    // anything posted after: a new client opened first would have libjack
    // free the lost one under our feet.
    void close();
    // Whether the server runs its cycles: one ran lately, within a few
    // periods. A server that stands still is not waited for at the end.
    bool answering() const;

    // Other clients' MIDI ports with all of `flags` (JackPortIsOutput: those
    // that can be read from). It reads what libjack keeps of the server's
    // state, and does not wait for the server.
    std::vector<std::string> otherPorts(unsigned long flags);
    // The full names of the program's ports.
    const std::string& inputName() const { return inputName_; }
    const std::string& outputName() const { return outputName_; }

    // Connects two ports and keeps count of the program's users of the
    // connection; a connection that was there already is left to whoever
    // made it. Waits for the server's answer a little at most: without it,
    // the connection counts as made, and a refusal that comes later is the
    // connection's failure().
    PortError link(const std::string& source, const std::string& destination);
    // When its last user goes, removes a connection the program made: an
    // output's once the messages sent until now have been written.
    void unlinkInput(const std::string& source);
    void unlinkOutput(const std::string& destination);

    void addSink(ReceiveSink& sink);
    void removeSink(ReceiveSink& sink);  // once it returns, the sink is not called again
    void addChanges(ChangeSink& changes);
    void removeChanges(ChangeSink& changes);

    // Queues a message for the output port; false when the ring is full.
    bool queue(const std::vector<unsigned char>& bytes, SendTime due);
    std::size_t waiting() const { return outgoing_->size(); }
    // Process cycles run so far.
    std::uint64_t cycles() const { return cycles_.load(std::memory_order_relaxed); }

    // Why a connection to `device` (null for the program's own port alone)
    // no longer works: the device went, or the server refused to connect
    // it. The server's loss goes to the first to ask with its code, to the
    // others with code 0.
    std::optional<PortError> failure(const std::string* device, PortDirection direction);

private:
    // jack_connect's answer, written on the calls' thread.
    struct Answer {
        std::atomic<bool> given{false};
        std::atomic<int> result{0};
        bool made() const { return given && result == 0; }
        bool refused() const;
    };
    struct Link {
        int users = 0;
        std::shared_ptr<Answer> answer;
        std::optional<std::uint64_t> releaseAfter;  // outgoing messages to be written first
    };
    using LinkKey = std::pair<std::string, std::string>;

    JackClient(jack_client_t* client, const ServerCalls& calls);
    ~JackClient();
    bool start(PortError& why);
    void setCallbacks();
    static int process(jack_nframes_t frames, void* self);
    static PortError refusal(const LinkKey& key);
    void wake() { sem_post(&wake_); }
    void noteChange();
    void noteLoss();
    void relay();
    void connect(const LinkKey& key, const std::shared_ptr<Answer>& answer);
    void unlink(const LinkKey& key, std::uint64_t after);
    void releaseDue();  // with linksMutex_ held
    void stopRelay();
    // On the calls' thread, once the last holder let go: what the outputs
    // sent last is written, then the client closes.
    void finish();
    void drain();
    // The longest a server may run no cycle and still count as answering,
    // and the longest the end waits for the last messages.
    std::chrono::microseconds patience() const;

    jack_client_t* client_;
    jack_port_t* input_ = nullptr;
    jack_port_t* output_ = nullptr;
    std::string inputName_;
    std::string outputName_;
    std::unique_ptr<IncomingRing> incoming_ = std::make_unique<IncomingRing>();
    std::unique_ptr<OutgoingRing> outgoing_ = std::make_unique<OutgoingRing>();
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::uint64_t> cyclesEnded_{0};
    std::atomic<jack_time_t> lastCycleUs_{0};  // when the last cycle began, on JACK's clock
    // The last cycle that found messages to write; 0 before any did.
    std::atomic<std::uint64_t> writingCycle_{0};
    std::atomic<bool> gone_{false};
    std::atomic<bool> lossTold_{false};
    std::atomic<bool> changed_{false};
    std::atomic<bool> releasesPending_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    bool closePosted_ = false;  // the relay's own
    std::atomic<bool> flushing_{false};  // the end: everything waiting goes now
    sem_t wake_;
    ServerCalls calls_;

    std::mutex linksMutex_;
    std::map<LinkKey, Link> links_;
    std::mutex sinksMutex_;
    std::vector<ReceiveSink*> sinks_;
    std::vector<ChangeSink*> changes_;

    std::thread relay_;
};

}  // namespace marovane
