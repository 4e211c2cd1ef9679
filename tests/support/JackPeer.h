// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"
#include "ports/SpscRing.h"
#include "ports/jack/ClientProperties.h"
#include "support/Collectors.h"

#include <jack/jack.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marovane::testing {

// A message as a peer heard it: its bytes, where in its cycle it came, the
// frame that is (counted since the server started), and that frame's time
// and the cycle's length on JACK's microsecond clock as the server reckoned
// them in that cycle. (A server on a busy machine may run its cycles slower
// than its nominal rate, and reckons with what it measured.)
struct Heard {
    std::vector<unsigned char> bytes;
    jack_nframes_t offset = 0;
    jack_nframes_t frame = 0;
    jack_time_t time = 0;
    double periodUs = 0;
};

// A JACK port as the back end lists it: its full name is its id too.
inline MidiDevice jackDevice(const std::string& port) { return {port, port}; }

// Another program on the test's server, written on libjack: a keyboard port
// "keys" that plays what it is given, a few hundred messages a cycle, and a
// synthesiser port "synth" that hears messages with their frames. Its
// process cycle only moves messages through rings, like the back end's.
class JackPeer {
public:
    // Throws when no server takes the client. By default it hears every
    // message as it was sent, as the program does; with `properties` empty
    // it has PipeWire's defaults, under which it would hear a note-on with
    // velocity 0 as a note-off.
    explicit JackPeer(const std::string& name, const std::string& properties = bytesAsSent);
    ~JackPeer();
    JackPeer(const JackPeer&) = delete;
    JackPeer& operator=(const JackPeer&) = delete;

    jack_client_t* client() const { return client_; }
    std::string keys() const;
    std::string synth() const;

    // Queues short messages to be played; returns at once.
    void play(const std::vector<std::vector<unsigned char>>& messages);
    // Whether all that was queued went out, within a generous time.
    bool waitUntilPlayed();
    // All heard so far, once `count` have been or after a generous time.
    std::vector<Heard> waitFor(std::size_t count);
    std::vector<std::vector<unsigned char>> heardBytes(std::size_t count);
    // How many were heard so far; returns at once.
    std::size_t heardCount();
    // Drops all heard so far, as probes that were only there to be heard.
    void forget();
    // Whether the port `from` is connected to `to`, as this client sees it.
    bool connected(const std::string& from, const std::string& to) const;

private:
    struct Message {
        jack_nframes_t offset = 0;
        jack_nframes_t frame = 0;
        jack_time_t time = 0;
        float periodUs = 0;
        std::uint8_t size = 0;
        std::array<unsigned char, 3> bytes{};
    };
    using Ring = SpscRing<Message, 65536>;

    static int process(jack_nframes_t frames, void* self);
    void collect();

    jack_client_t* client_ = nullptr;
    jack_port_t* keys_ = nullptr;
    jack_port_t* synth_ = nullptr;
    std::unique_ptr<Ring> playing_ = std::make_unique<Ring>();
    std::unique_ptr<Ring> hearing_ = std::make_unique<Ring>();
    std::vector<Heard> heard_;
};

// Whether `holds` comes true within `within`. PipeWire tells other clients
// of a change a little later.
bool eventually(const std::function<bool()>& holds, std::chrono::milliseconds within = std::chrono::seconds(5));

// Whether a connection just made carries, steadily, within some seconds.
// PipeWire lists a new connection before it carries, and while its clients
// are slow (as under the thread sanitizer) the first cycles that carry can
// be followed by some whose messages are lost. So probes go through `play`,
// one at a time, until several in a row were heard, in order, at the end of
// what `heard` lists; then none is on its way, and the caller forgets them.
// `waitFor` waits as `eventually` does; the window's tests keep its events
// going meanwhile.
bool carriesSteadily(
    const std::function<void(const Bytes&)>& play, const std::function<std::vector<Bytes>()>& heard,
    const std::function<bool(const std::function<bool()>&, std::chrono::milliseconds)>& waitFor = eventually);

// Whether what `peer` plays reaches `received`, and what `output` sends
// reaches `peer`'s synthesiser, steadily (see carriesSteadily); forgets the
// probes.
bool carriesFrom(JackPeer& peer, Collector& received);
bool carriesTo(OutputConnection& output, JackPeer& peer);

}  // namespace marovane::testing
