// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtUiThread.h"

#include <QCoreApplication>
#include <QMetaObject>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
// In the sanitizer's run time, but not declared in GCC 12's header.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace marovane {

namespace {

// Qt hands a posted task to the UI thread under a lock inside libQt6Core,
// which ThreadSanitizer cannot see, as Qt is not built with it. The hand-over
// is told to it here: all the posting thread did before the post happens
// before the task runs, and Qt's own objects for the delivery, written while
// posting, are left out. Nothing in other builds.
#if defined(__SANITIZE_THREAD__)
void handOver(const void* key) {
    __tsan_release(const_cast<void*>(key));
    __tsan_ignore_thread_begin();
}
void handedOver() { __tsan_ignore_thread_end(); }
void takeOver(const void* key) { __tsan_acquire(const_cast<void*>(key)); }
#else
void handOver(const void*) {}
void handedOver() {}
void takeOver(const void*) {}
#endif

}  // namespace

void QtUiThread::post(std::function<void()> task) {
    // Queued to the application object, which lives on the UI thread; a task
    // posted while the application is going away is simply dropped.
    if (auto* app = QCoreApplication::instance()) {
        handOver(this);
        QMetaObject::invokeMethod(
            app,
            [this, task = std::move(task)] {
                takeOver(this);
                task();
            },
            Qt::QueuedConnection);
        handedOver();
    }
}

}  // namespace marovane
