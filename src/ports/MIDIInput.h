// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InputQueue.h"
#include "MIDIPort.h"
#include "UiThread.h"

#include <functional>

namespace marovane {

// The MIDI input port component. Received messages wait in a queue; the
// Message event says that some are waiting, and Message, Data1 and Data2
// show the oldest until ActionNext drops it.
//
// A message is shown as its first three bytes: Message is the status byte,
// Data1 and Data2 the data bytes. A two-byte message (program change,
// channel pressure, song select, time code) shows Data2 as 0; a one-byte
// message (tune request, real-time) shows Data1 and Data2 as 0. With no
// message waiting all three are 0.
class MIDIInput : public MIDIPort<MidiInputPort, InputConnection> {
public:
    MIDIInput(MidiBackend& backend, UiThread& ui);
    // Closes first: the connection (and the back end's thread that feeds the
    // queue) goes before the queue.
    ~MIDIInput() override { close(); }

    std::int16_t MessageCount() const override;
    std::int16_t Message() const override { return current().status; }
    std::int16_t Data1() const override { return current().data1; }
    std::int16_t Data2() const override { return current().data2; }

    // The Message event: received messages are waiting. Raised on the UI
    // thread, once for each batch the back end delivered.
    std::function<void()> onMessage;

protected:
    std::vector<MidiDevice> listDevices() override;
    Opened<InputConnection> openDevice() override;
    void started(bool on) override { queue_.setAccepting(on); }
    void released() override;
    void next() override { queue_.popFront(); }

private:
    ShortMessage current() const { return queue_.front(); }
    void raiseWaiting();

    InputQueue queue_;
};

}  // namespace marovane
