#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace marovane::testing {

// The test's stand-in for the user at a modal window: as soon as the next
// modal window shows, act on it (and close it, or the test waits forever).
inline void onNextModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}

}  // namespace marovane::testing
