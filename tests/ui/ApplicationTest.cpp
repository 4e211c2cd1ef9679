// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalDriver.h"
#include "QtPrinters.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace marovane {
namespace {

TEST(Application, AFailureNoHandlerCatchesIsShownAndEndsTheProgram) {
    testing::MessageBoxReader reader;
    QTimer::singleShot(0, [] { throw std::runtime_error("Out of memory."); });
    // Fails while the first message shows: the program is ending, once.
    QTimer::singleShot(0, [] { throw std::logic_error("And again."); });
    EXPECT_EQ(QApplication::exec(), 1);
    EXPECT_EQ(reader.texts, QStringList{"Out of memory."});
}

}  // namespace
}  // namespace marovane
