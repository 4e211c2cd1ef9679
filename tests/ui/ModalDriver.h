#pragma once

#include <QApplication>
#include <QMessageBox>
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

// The user reading every message box that shows while this lives, and
// pressing OK.
class MessageBoxReader {
public:
    MessageBoxReader() {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            read_ << box->text();
            box->accept();
        });
        poll_.start(5);
    }
    const QStringList& read() const { return read_; }

private:
    QTimer poll_;
    QStringList read_;
};

}  // namespace marovane::testing
