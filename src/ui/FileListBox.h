// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>
#include <QString>

namespace marovane {

// The bare names of the regular files (and links to them) in one folder that
// match a pattern, read when the folder is set and again on refresh(), never
// behind the user's back.
// Entries are only chosen here: choosing or double-clicking one does nothing.
class FileListBox : public QListWidget {
public:
    FileListBox(const QString& pattern, QWidget* parent);

    void setPath(const QString& folder);
    const QString& path() const { return folder_; }
    // Reads the folder again, keeping the selected name selected if it is
    // still there.
    void refresh();
    // The selected entry, or -1 while none is selected.
    int listIndex() const;

private:
    QString pattern_;
    QString folder_;
};

}  // namespace marovane
