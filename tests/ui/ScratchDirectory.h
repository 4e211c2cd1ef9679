// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace marovane::testing {

// An empty working directory of the test's own for as long as this lives: the
// window makes its "Beats" folder in the working directory.
class ScratchDirectory {
public:
    ScratchDirectory() : previous_(QDir::currentPath()) { QDir::setCurrent(directory_.path()); }
    ~ScratchDirectory() { QDir::setCurrent(previous_); }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    QString path() const { return directory_.path(); }

private:
    QTemporaryDir directory_;
    QString previous_;
};

}  // namespace marovane::testing
