// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>

namespace marovane {

// A beat grid box: clear, ticked, or dimmed (only a loaded pattern dims a
// box). A click or the space bar toggles between clear and ticked; a dimmed
// box becomes ticked.
class GridBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
};

}  // namespace marovane
