// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackMeter.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace marovane::bench {

namespace {

constexpr unsigned char polyPressure = 0xA0;
constexpr unsigned char noteOn = 0x90;
constexpr unsigned char midiClock = 0xF8;
constexpr int midiClocksPerSecond = 24 * 300 / 60;
constexpr std::int64_t neverHeard = -1;

std::unique_ptr<std::atomic<std::int64_t>[]> slots(int count) {
    auto values = std::make_unique<std::atomic<std::int64_t>[]>(count);
    for (int i = 0; i < count; ++i) values[i].store(neverHeard);
    return values;
}

jack_client_t* openClient(const char* name) {
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    if (!client) throw std::runtime_error(std::string("cannot open the JACK client ") + name);
    return client;
}

jack_port_t* midiPort(jack_client_t* client, const char* name, unsigned long flags) {
    jack_port_t* port = jack_port_register(client, name, JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (!port) throw std::runtime_error(std::string("cannot register the JACK port ") + name);
    return port;
}

}  // namespace

JackMeter::JackMeter()
    : sentAt_(slots(maxMessages)),
      heardAt_(slots(maxMessages)),
      onsetFrame_(slots(maxOnsets)),
      onsetNanoseconds_(slots(maxOnsets)),
      onsetJackNanoseconds_(slots(maxOnsets)),
      onsetXruns_(slots(maxOnsets)) {
    try {
        keys_ = openClient("BenchKeys");
        synth_ = openClient("BenchSynth");
        keysPort_ = midiPort(keys_, "keys", JackPortIsOutput);
        synthPort_ = midiPort(synth_, "synth", JackPortIsInput);
        jack_set_process_callback(keys_, &JackMeter::keysProcess, this);
        jack_set_process_callback(synth_, &JackMeter::synthProcess, this);
        jack_set_xrun_callback(synth_, &JackMeter::countXrun, this);
        if (jack_activate(keys_) != 0 || jack_activate(synth_) != 0) {
            throw std::runtime_error("cannot activate the JACK clients");
        }
    } catch (...) {
        if (synth_) jack_client_close(synth_);
        if (keys_) jack_client_close(keys_);
        throw;
    }
}

JackMeter::~JackMeter() {
    jack_deactivate(keys_);
    jack_deactivate(synth_);
    jack_client_close(keys_);
    jack_client_close(synth_);
}

jack_nframes_t JackMeter::sampleRate() const { return jack_get_sample_rate(synth_); }
jack_nframes_t JackMeter::periodFrames() const { return jack_get_buffer_size(synth_); }

void JackMeter::joinDirectly(bool joined) {
    const int result = joined ? jack_connect(keys_, keysPort, synthPort) : jack_disconnect(keys_, keysPort, synthPort);
    if (result != 0) throw std::runtime_error("the meter could not connect or disconnect its own ports");
}

void JackMeter::play(int count, jack_nframes_t spacing) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<jack_nframes_t> within(0, spacing - 1);
    std::vector<jack_nframes_t> due;
    for (int i = 0; i < count; ++i) due.push_back(i * spacing + within(random));
    start(std::move(due));
}

void JackMeter::flood(int count, int perCycle) {
    const jack_nframes_t period = periodFrames();
    std::vector<jack_nframes_t> due;
    for (int i = 0; i < count; ++i) due.push_back(i / perCycle * period + i % perCycle * period / perCycle);
    start(std::move(due));
}

void JackMeter::start(std::vector<jack_nframes_t> due) {
    if (due.size() > static_cast<std::size_t>(maxMessages)) throw std::logic_error("the meter plays at most 16384");
    endRun();
    due_ = std::move(due);
    count_.store(static_cast<int>(due_.size()));
    armed_.store(true, std::memory_order_release);
}

void JackMeter::endRun() {
    armed_.store(false);
    count_.store(0);
    // The second cycle to end from now began after the run ended.
    const unsigned keys = keysCycles_.load();
    const unsigned synth = synthCycles_.load();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (keysCycles_.load() - keys < 2 || synthCycles_.load() - synth < 2) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the JACK server stopped its cycles");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < maxMessages; ++i) {
        sentAt_[i].store(neverHeard);
        heardAt_[i].store(neverHeard);
    }
    sent_.store(0);
    heard_.store(0);
    unexpected_.store(0);
    outOfOrder_.store(0);
    lastNumber_ = -1;
}

int JackMeter::keysProcess(jack_nframes_t frames, void* self) {
    auto& meter = *static_cast<JackMeter*>(self);
    void* buffer = jack_port_get_buffer(meter.keysPort_, frames);
    jack_midi_clear_buffer(buffer);
    meter.playMidiClock(buffer, frames);
    if (!meter.armed_.load(std::memory_order_acquire)) {
        meter.started_ = false;
        meter.keysCycles_.fetch_add(1, std::memory_order_release);
        return 0;
    }
    const jack_nframes_t cycle = jack_last_frame_time(meter.keys_);
    if (!meter.started_) {
        meter.started_ = true;
        meter.start_ = cycle;
    }
    int next = meter.sent_.load(std::memory_order_relaxed);
    for (; next < meter.count_.load(std::memory_order_relaxed); ++next) {
        const std::int64_t offset = framesBetween(cycle, meter.start_ + meter.due_[next]);
        if (offset >= frames) break;
        // A cycle that came late plays what is overdue at its start.
        const auto at = static_cast<jack_nframes_t>(offset < 0 ? 0 : offset);
        const unsigned char bytes[3] = {polyPressure, static_cast<unsigned char>((next >> 7) & 0x7F),
                                        static_cast<unsigned char>(next & 0x7F)};
        if (jack_midi_event_write(buffer, at, bytes, sizeof bytes) != 0) break;
        meter.sentAt_[next].store(cycle + at, std::memory_order_relaxed);
    }
    meter.sent_.store(next, std::memory_order_release);
    meter.keysCycles_.fetch_add(1, std::memory_order_release);
    return 0;
}

// Runs alone, while no numbered messages play: a buffer takes its events in
// the order of their frames.
void JackMeter::playMidiClock(void* buffer, jack_nframes_t frames) {
    if (!midiClockRunning_.load(std::memory_order_acquire)) {
        nextMidiClock_ = -1;
        return;
    }
    const jack_nframes_t cycle = jack_last_frame_time(keys_);
    if (nextMidiClock_ < 0) nextMidiClock_ = cycle;
    const jack_nframes_t spacing = jack_get_sample_rate(keys_) / midiClocksPerSecond;
    for (std::int64_t offset; (offset = framesBetween(cycle, nextMidiClock_)) < frames;) {
        const auto at = static_cast<jack_nframes_t>(std::max<std::int64_t>(offset, 0));
        if (jack_midi_event_write(buffer, at, &midiClock, 1) != 0) break;
        midiClockPlayed_.fetch_add(1, std::memory_order_relaxed);
        nextMidiClock_ = static_cast<jack_nframes_t>(nextMidiClock_ + spacing);
    }
}

int JackMeter::synthProcess(jack_nframes_t frames, void* self) {
    auto& meter = *static_cast<JackMeter*>(self);
    void* buffer = jack_port_get_buffer(meter.synthPort_, frames);
    const jack_nframes_t cycle = jack_last_frame_time(meter.synth_);
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleStart = 0;
    jack_time_t nextCycleStart = 0;
    float periodMicroseconds = 0;
    jack_get_cycle_times(meter.synth_, &cycleFrame, &cycleStart, &nextCycleStart, &periodMicroseconds);
    const double nanosecondsPerFrame = (nextCycleStart - cycleStart) * 1000.0 / frames;
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0) continue;
        const auto at = static_cast<std::int64_t>(cycleStart * 1000 + event.time * nanosecondsPerFrame);
        meter.hear(cycle + event.time, at, event.buffer, event.size);
    }
    meter.synthCycles_.fetch_add(1, std::memory_order_release);
    return 0;
}

void JackMeter::hear(jack_nframes_t frame, std::int64_t jackNanoseconds, const unsigned char* bytes,
                     std::size_t size) {
    if (size == 1 && bytes[0] == midiClock) midiClockHeard_.fetch_add(1, std::memory_order_relaxed);
    if (size != 3) return;
    if (bytes[0] == polyPressure) {
        const int number = bytes[1] << 7 | bytes[2];
        std::int64_t never = neverHeard;
        if (number < count_.load(std::memory_order_acquire) &&
            heardAt_[number].compare_exchange_strong(never, frame, std::memory_order_relaxed)) {
            if (number < lastNumber_) outOfOrder_.fetch_add(1, std::memory_order_relaxed);
            lastNumber_ = number;
            heard_.fetch_add(1, std::memory_order_release);
        } else {
            unexpected_.fetch_add(1);
        }
    } else if (bytes[0] == noteOn && bytes[2] > 0) {
        const int onset = onsets_.load(std::memory_order_relaxed);
        if (onset >= maxOnsets) return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        onsetFrame_[onset].store(frame, std::memory_order_relaxed);
        onsetNanoseconds_[onset].store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(),
                                       std::memory_order_relaxed);
        onsetJackNanoseconds_[onset].store(jackNanoseconds, std::memory_order_relaxed);
        onsetXruns_[onset].store(xruns_.load(), std::memory_order_relaxed);
        onsets_.store(onset + 1, std::memory_order_release);
    }
}

int JackMeter::countXrun(void* self) {
    static_cast<JackMeter*>(self)->xruns_.fetch_add(1);
    return 0;
}

std::vector<std::int64_t> JackMeter::latencies() const {
    std::vector<std::int64_t> frames;
    const int sent = sent_.load(std::memory_order_acquire);
    for (int i = 0; i < sent; ++i) {
        const std::int64_t heardAt = heardAt_[i].load();
        if (heardAt != neverHeard) frames.push_back(framesBetween(sentAt_[i].load(), heardAt));
    }
    return frames;
}

std::int64_t JackMeter::span() const {
    const std::int64_t first = sentAt_[0].load();
    std::int64_t last = 0;
    const int sent = sent_.load(std::memory_order_acquire);
    for (int i = 0; i < sent && first != neverHeard; ++i) {
        if (const std::int64_t heardAt = heardAt_[i].load(); heardAt != neverHeard) {
            last = std::max(last, framesBetween(first, heardAt));
        }
    }
    return last;
}

std::vector<JackMeter::Onset> JackMeter::onsetsFrom(int first) const {
    std::vector<Onset> heard;
    const int end = onsets_.load(std::memory_order_acquire);
    for (int i = first; i < end; ++i) {
        heard.push_back({onsetFrame_[i].load(), onsetNanoseconds_[i].load(), onsetJackNanoseconds_[i].load(),
                         static_cast<int>(onsetXruns_[i].load())});
    }
    return heard;
}

}  // namespace marovane::bench
