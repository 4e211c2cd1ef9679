// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the program's idle cost: a bare libjack client with one
// MIDI input and one MIDI output, connected as the program's ports are,
// whose process callback only takes both buffers and clears the output.
//
//   marovane_bench_bare <input device> <output device>
//       connects the input from the first port and the output to the second,
//       prints "ready" and runs until SIGTERM or SIGINT.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <csignal>
#include <iostream>

namespace {

jack_port_t* input = nullptr;
jack_port_t* output = nullptr;

int process(jack_nframes_t frames, void*) {
    jack_port_get_buffer(input, frames);
    jack_midi_clear_buffer(jack_port_get_buffer(output, frames));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::cerr << "usage: marovane_bench_bare IN OUT\n";
        return 2;
    }
    // Blocked before libjack starts its threads, which inherit the mask.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);

    jack_client_t* client = jack_client_open("BenchBare", JackNoStartServer, nullptr);
    if (!client) {
        std::cerr << "cannot open the JACK client\n";
        return 1;
    }
    input = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    output = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, process, nullptr);
    const bool ready = input && output && jack_activate(client) == 0 &&
                       jack_connect(client, argv[1], jack_port_name(input)) == 0 &&
                       jack_connect(client, jack_port_name(output), argv[2]) == 0;
    std::cout << (ready ? "ready" : "failed to open the ports") << std::endl;
    int signal = 0;
    if (ready) sigwait(&stopping, &signal);
    jack_deactivate(client);
    jack_client_close(client);
    return ready ? 0 : 1;
}
