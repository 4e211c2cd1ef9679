// SPDX-License-Identifier: GPL-3.0-or-later
// "Open Beat" and "Save Beat": the beat grid to and from pattern files in the
// file list's folder.
#include "FileListBox.h"
#include "MessageBox.h"
#include "frmMain.h"
#include "patterns/BeatPattern.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

#include <array>

namespace marovane {

namespace {

const QString fileError = "file error";

// A name in a folder as the file system spells it.
std::filesystem::path filePath(const QString& folder, const QString& name) {
    return std::filesystem::path(QFile::encodeName(folder).toStdString()) / QFile::encodeName(name).toStdString();
}

}  // namespace

void frmMain::openbutton_Click() {
    performance.StopPerformance();
    const int selected = File1->listIndex();
    std::optional<PatternValues> values;
    if (selected >= 0) values = readBeatPattern(filePath(File1->path(), File1->item(selected)->text()));
    // A file that is refused anywhere leaves the whole grid as it was.
    if (!values) {
        showMessage(this, fileError);
        return;
    }
    for (std::size_t i = 0; i < values->size(); ++i) setBeatBox(static_cast<int>(i), (*values)[i]);
}

void frmMain::savebutton_Click() {
    performance.StopPerformance();
    std::array<std::int16_t, gridBoxes> values{};
    for (int i = 0; i < gridBoxes; ++i) values[i] = beatBox(i);
    // The name is kept as typed, ".txt" added; only a name that would leave
    // the folder or name no plain file is refused.
    const QString name = savename->text();
    const QString fileName = name + ".txt";
    if (!isPlainFileName(fileName.toStdString()) || !writeBeatPattern(filePath(File1->path(), fileName), values)) {
        showMessage(this, fileError);
        return;
    }
    showMessage(this, "File Saved as " + name + ". Have fun.");
    File1->refresh();
}

void frmMain::setBeatBox(int index, std::int16_t value) {
    static constexpr std::array states = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    beatbox.at(index)->setCheckState(states.at(value));
}

}  // namespace marovane
