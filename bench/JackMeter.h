// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace marovane::bench {

// Frames from `from` to `to` on JACK's 32-bit frame counter, which wraps.
inline std::int64_t framesBetween(std::int64_t from, std::int64_t to) {
    return static_cast<std::int32_t>(static_cast<jack_nframes_t>(to) - static_cast<jack_nframes_t>(from));
}

// The measuring side, made with libjack itself for frame-exact times. The
// client "BenchKeys" plays into the program's input from its port "keys";
// "BenchSynth" listens to the program's output on "synth". Two clients, not
// one with two ports: one client would close a loop in JACK's graph (meter,
// program, meter), and JACK would have to delay one side of it by a period.
//
// Times are JACK frames: the first frame of the cycle that carries an event
// plus the event's offset within it.
class JackMeter {
public:
    static constexpr char keysPort[] = "BenchKeys:keys";
    static constexpr char synthPort[] = "BenchSynth:synth";
    // Message numbers travel in the 14 data bits of a poly aftertouch.
    static constexpr int maxMessages = 1 << 14;

    // Throws std::runtime_error when a client cannot be opened.
    JackMeter();
    ~JackMeter();
    JackMeter(const JackMeter&) = delete;
    JackMeter& operator=(const JackMeter&) = delete;

    jack_nframes_t sampleRate() const;
    jack_nframes_t periodFrames() const;
    // Cycles the server reported late since the meter opened.
    int xruns() const { return xruns_.load(); }
    // The server's estimate of the frame it is at now.
    jack_nframes_t frameNow() const { return jack_frame_time(synth_); }

    // Plays `count` poly aftertouch messages, message i numbered i, one in
    // every `spacing` frames, each at a random frame within its slot so that
    // the offsets within a cycle are all covered. Starts at the next cycle.
    // A new run ends the last one: what it played and heard is forgotten.
    void play(int count, jack_nframes_t spacing);
    // Connects "keys" straight to "synth", or removes that connection: what
    // the server itself loses, with no program between them.
    void joinDirectly(bool joined);
    // The same, `perCycle` messages in every cycle, as fast as a keyboard
    // that floods the program could.
    void flood(int count, int perCycle);
    int played() const { return sent_.load(); }
    int heard() const { return heard_.load(); }
    // Messages heard twice or with a number never played.
    int unexpected() const { return unexpected_.load(); }
    // Messages heard after one with a higher number.
    int outOfOrder() const { return outOfOrder_.load(); }
    // Frames from leaving BenchKeys to reaching BenchSynth, for each played
    // message that was heard.
    std::vector<std::int64_t> latencies() const;
    // Frames from the first message leaving to the last one heard.
    std::int64_t span() const;

    // A note-on with a velocity above 0 that BenchSynth heard: its frame, the
    // steady clock when BenchSynth ran in that cycle, which shows the timing
    // apart from the frame clock, its frame's time on JACK's microsecond
    // clock (the cycle's start plus its share of the cycle's measured
    // length), which is where the server itself puts that frame, and the
    // server's xruns until then, which tell the intervals that an xrun bent.
    struct Onset {
        std::int64_t frame;
        std::int64_t systemNanoseconds;
        std::int64_t jackNanoseconds;
        int xruns;
    };
    // A MIDI clock played into the program while `running`: 24 a quarter
    // note at 300 beats a minute, 120 a second, each at its exact frame.
    void runMidiClock(bool running) { midiClockRunning_.store(running, std::memory_order_release); }
    int midiClockPlayed() const { return midiClockPlayed_.load(); }
    int midiClockHeard() const { return midiClockHeard_.load(); }

    // Onsets heard so far, counting from 0.
    int onsets() const { return onsets_.load(); }
    std::vector<Onset> onsetsFrom(int first) const;

private:
    static int keysProcess(jack_nframes_t frames, void* self);
    static int synthProcess(jack_nframes_t frames, void* self);
    static int countXrun(void* self);
    void hear(jack_nframes_t frame, std::int64_t jackNanoseconds, const unsigned char* bytes, std::size_t size);
    // Ends the last run: waits until both process callbacks have run a whole
    // cycle that saw it ended, then forgets what it played and heard.
    void endRun();
    void start(std::vector<jack_nframes_t> due);
    void playMidiClock(void* buffer, jack_nframes_t frames);

    static constexpr int maxOnsets = 4096;

    jack_client_t* keys_ = nullptr;
    jack_client_t* synth_ = nullptr;
    jack_port_t* keysPort_ = nullptr;
    jack_port_t* synthPort_ = nullptr;

    // Written before armed_ is set; read by the process threads only after.
    std::vector<jack_nframes_t> due_;
    std::atomic<int> count_{0};
    std::atomic<bool> armed_{false};
    bool started_ = false;  // BenchKeys' process thread only
    jack_nframes_t start_ = 0;
    std::atomic<unsigned> keysCycles_{0};
    std::atomic<unsigned> synthCycles_{0};
    std::atomic<int> sent_{0};
    std::unique_ptr<std::atomic<std::int64_t>[]> sentAt_;

    std::unique_ptr<std::atomic<std::int64_t>[]> heardAt_;
    std::atomic<int> heard_{0};
    std::atomic<int> unexpected_{0};
    std::atomic<int> outOfOrder_{0};
    int lastNumber_ = -1;  // BenchSynth's process thread, and endRun while no run is armed
    std::unique_ptr<std::atomic<std::int64_t>[]> onsetFrame_;
    std::unique_ptr<std::atomic<std::int64_t>[]> onsetNanoseconds_;
    std::unique_ptr<std::atomic<std::int64_t>[]> onsetJackNanoseconds_;
    std::unique_ptr<std::atomic<std::int64_t>[]> onsetXruns_;
    std::atomic<int> onsets_{0};
    std::atomic<bool> midiClockRunning_{false};
    std::int64_t nextMidiClock_ = -1;  // BenchKeys' process thread only; -1 while stopped
    std::atomic<int> midiClockPlayed_{0};
    std::atomic<int> midiClockHeard_{0};
    std::atomic<int> xruns_{0};
};

}  // namespace marovane::bench
