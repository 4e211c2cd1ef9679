// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "MessageBox.h"

#include <QFontDatabase>

#include <exception>

namespace marovane {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Marovane");
    setFont(programFont());
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        endAfterFailure(failure.what());
    } catch (...) {
        endAfterFailure("Unknown failure.");
    }
    return true;
}

void Application::endAfterFailure(const QString& text) {
    // Events go on while the message shows; a failure among them is let
    // pass, since the program is ending anyway and the first one is shown.
    if (ending_) return;
    ending_ = true;
    showMessage(nullptr, text);
    exit(1);
}

QFont programFont() {
    // Liberation Sans has the metrics of the faces the layout was made for;
    // DejaVu Sans, wider, is the last resort and clips a few captions.
    const QStringList installed = QFontDatabase::families();
    QString family = "DejaVu Sans";
    for (const char* candidate : {"MS Sans Serif", "Liberation Sans"}) {
        if (installed.contains(candidate)) {
            family = candidate;
            break;
        }
    }
    QFont font(family);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Bold);
    return font;
}

}  // namespace marovane
