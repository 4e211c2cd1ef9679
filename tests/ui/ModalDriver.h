// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
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

// The user reading every message box that shows while this lives: each text
// is kept, in order, and each box closed with its OK button. A box that is
// not a message box is left alone.
class MessageBoxReader {
public:
    MessageBoxReader() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            texts << box->text();
            box->button(QMessageBox::Ok)->click();
        });
        poll_.start();
    }

    QStringList texts;

private:
    QTimer poll_;
};

}  // namespace marovane::testing
