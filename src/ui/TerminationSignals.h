// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace marovane {

// Turns SIGINT, SIGTERM and SIGHUP into a call on the UI thread, so that a
// program stopped from its terminal or by the session still closes its ports,
// ending the notes it left sounding, instead of dying on the spot. One at a
// time; the default handlers come back when it goes.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    static void handle(int signal);

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace marovane
