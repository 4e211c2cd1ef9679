// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtUiThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace marovane {

void QtUiThread::post(std::function<void()> task) {
    // Queued to the application object, which lives on the UI thread; a task
    // posted while the application is going away is simply dropped.
    if (auto* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
}

}  // namespace marovane
