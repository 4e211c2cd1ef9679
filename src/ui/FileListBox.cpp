// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListBox.h"

#include <QDir>
#include <QFileInfo>

namespace marovane {

FileListBox::FileListBox(const QString& pattern, QWidget* parent) : QListWidget(parent), pattern_(pattern) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPath(const QString& folder) {
    folder_ = folder;
    refresh();
}

void FileListBox::refresh() {
    const int selected = listIndex();
    const QString kept = selected >= 0 ? item(selected)->text() : QString();
    clear();
    // Hidden files count: a pattern saved under an empty name is ".txt".
    // QDir::Files also takes a link to a FIFO or a device, which is no pattern.
    const QDir folder(folder_);
    for (const QFileInfo& entry : folder.entryInfoList({pattern_}, QDir::Files | QDir::Hidden, QDir::Name)) {
        if (entry.isFile()) addItem(entry.fileName());
    }
    const QList<QListWidgetItem*> same = findItems(kept, Qt::MatchExactly);
    if (!kept.isEmpty() && !same.isEmpty()) same.first()->setSelected(true);
}

int FileListBox::listIndex() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

}  // namespace marovane
