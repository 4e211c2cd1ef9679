// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalDriver.h"
#include "WindowTest.h"
#include "ui/FileListBox.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace marovane {
namespace {

using testing::MessageBoxReader;

class frmMainBeatFilesTest : public testing::WindowTest {
protected:
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Lines of one value each, as the program writes them.
    static QByteArray lines(std::vector<int> values) {
        QByteArray bytes;
        for (int value : values) bytes += QByteArray::number(value) + "\r\n";
        return bytes;
    }
    std::vector<Qt::CheckState> grid() {
        std::vector<Qt::CheckState> states;
        for (QCheckBox* box : window->beatbox) states.push_back(box->checkState());
        return states;
    }
    // Selects a file of the list (after reading the folder again) and opens it.
    QStringList open(const QString& name) {
        window->File1->refresh();
        const auto found = window->File1->findItems(name, Qt::MatchExactly);
        if (!found.isEmpty()) found.first()->setSelected(true);
        return click(window->openbutton);
    }
    QStringList save(const QString& name) {
        window->savename->setText(name);
        return click(window->savebutton);
    }
    QStringList click(QPushButton* button) {
        MessageBoxReader reader;
        QTest::mouseClick(button, Qt::LeftButton);
        return reader.texts;
    }
    void playBeats() {
        window->performance.beatbutton_Click();
        window->performance.arpegiate_Click();  // arpeggio on, beat mode off again, the clock running
        ASSERT_TRUE(window->arptimer.Enabled());
    }
    void expectStopped() {
        EXPECT_FALSE(window->arptimer.Enabled());
        EXPECT_FALSE(window->performance.state.arpmode);
        EXPECT_EQ(window->performance.state.beatmode, 0);
        EXPECT_EQ(window->arpegiate->text(), "Arpegiate");
        EXPECT_EQ(window->beatbutton->text(), "Beat Mode");
    }
};

TEST_F(frmMainBeatFilesTest, SaveWritesTheGridThenReportsThenListsTheFile) {
    window->beatbox[0]->setChecked(true);
    window->beatbox[8]->setChecked(true);
    window->beatbox[79]->setCheckState(Qt::PartiallyChecked);
    playBeats();
    int listedWhileShown = -1;
    testing::onNextModal([&](QWidget* modal) {
        listedWhileShown = window->File1->count();
        static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(window->savebutton, Qt::LeftButton);
    expectStopped();
    EXPECT_EQ(listedWhileShown, 0);  // the list is read again once the message is closed
    std::vector<int> values(80, 0);
    values[0] = values[8] = 1;
    values[79] = 2;
    EXPECT_EQ(readFile("Beats/Save Name.txt"), lines(values));
    ASSERT_EQ(window->File1->count(), 1);
    EXPECT_EQ(window->File1->item(0)->text(), "Save Name.txt");

    // Names are kept as typed: an empty one, one that ends in ".txt" already.
    EXPECT_EQ(save(""), QStringList{"File Saved as . Have fun."});
    EXPECT_EQ(save("groove.txt"), QStringList{"File Saved as groove.txt. Have fun."});
    EXPECT_EQ(readFile("Beats/.txt").size(), 240);
    EXPECT_EQ(readFile("Beats/groove.txt.txt").size(), 240);
    EXPECT_EQ(window->File1->count(), 3);
}

TEST_F(frmMainBeatFilesTest, OpenSetsTheBoxesOfAGoodFileAndShowsNothing) {
    std::vector<int> values(80, 0);
    values[3] = 1;
    values[40] = 2;
    writeFile("Beats/full.txt", lines(values));
    writeFile("Beats/short.txt", lines(std::vector<int>(40, 1)));
    window->beatbox[0]->setChecked(true);
    window->beatbox[79]->setChecked(true);
    playBeats();

    EXPECT_TRUE(open("full.txt").isEmpty());
    expectStopped();
    std::vector<Qt::CheckState> expected(80, Qt::Unchecked);
    expected[3] = Qt::Checked;
    expected[40] = Qt::PartiallyChecked;
    EXPECT_EQ(grid(), expected);

    // Forty values set only the first forty boxes.
    EXPECT_TRUE(open("short.txt").isEmpty());
    std::fill(expected.begin(), expected.begin() + 40, Qt::Checked);
    EXPECT_EQ(grid(), expected);

    // A dimmed box is saved back as 2; a click never dims a box.
    EXPECT_EQ(save("again").size(), 1);
    EXPECT_EQ(readFile("Beats/again.txt").mid(40 * 3, 3), "2\r\n");
    for (Qt::CheckState after : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
        QTest::mouseClick(window->beatbox[40], Qt::LeftButton);
        EXPECT_EQ(window->beatbox[40]->checkState(), after);
    }
}

TEST_F(frmMainBeatFilesTest, AFailedOpenChangesNoBoxAndLeavesThePerformanceStopped) {
    std::vector<int> badTenth(80, 1);
    badTenth[9] = 3;
    writeFile("Beats/bad value.txt", lines(badTenth));
    writeFile("Beats/too long.txt", lines(std::vector<int>(81, 1)));
    writeFile("Beats/blank line after.txt", lines(std::vector<int>(80, 1)) + "\r\n");
    window->beatbox[5]->setChecked(true);
    const std::vector<Qt::CheckState> before = grid();

    for (const char* name : {"bad value.txt", "too long.txt", "blank line after.txt"}) {
        SCOPED_TRACE(name);
        playBeats();
        EXPECT_EQ(open(name), QStringList{"file error"});
        expectStopped();
        EXPECT_EQ(grid(), before);
    }
    // Nothing selected, a listed file that has gone since, and one that has
    // become a FIFO since: it fails at once, without waiting for a writer
    // (whom the test gives it, so that one that waits fails rather than hangs).
    window->File1->clearSelection();
    EXPECT_EQ(click(window->openbutton), QStringList{"file error"});
    window->File1->item(0)->setSelected(true);
    const QByteArray name = QFile::encodeName(window->File1->item(0)->text()), gone = "Beats/" + name;
    ::unlink(gone);
    EXPECT_EQ(click(window->openbutton), QStringList{"file error"});
    ASSERT_EQ(::mkfifo(gone, 0600), 0);
    std::thread writer([&] { ::close(::open(gone, O_WRONLY)); });
    EXPECT_EQ(click(window->openbutton), QStringList{"file error"});
    ::close(::open(gone, O_RDONLY | O_NONBLOCK));  // lets a writer still waiting go
    writer.join();
    EXPECT_EQ(grid(), before);

    // Double-clicking an entry loads nothing; after all this a good file opens.
    // Only regular files are listed, and links to them.
    writeFile("Beats/good.txt", lines(std::vector<int>(80, 0)));
    ASSERT_EQ(::symlink("good.txt", "Beats/link to good.txt") | ::symlink(name, "Beats/link to FIFO.txt"), 0);
    window->File1->refresh();
    EXPECT_EQ(window->File1->count(), 4);
    auto* good = window->File1->findItems("good.txt", Qt::MatchExactly).first();
    QTest::mouseDClick(window->File1->viewport(), Qt::LeftButton, {}, window->File1->visualItemRect(good).center());
    EXPECT_EQ(grid(), before);
    EXPECT_TRUE(open("good.txt").isEmpty());
    EXPECT_EQ(grid(), std::vector<Qt::CheckState>(80, Qt::Unchecked));
}

TEST_F(frmMainBeatFilesTest, NamesThatLeaveTheFolderAreRefusedAndWriteNothing) {
    QDir().mkpath("Beats/sub");
    for (const QString& name : QStringList{"sub/x", "../escaped", "a\\b", QString("a") + QChar(0) + "b"}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(save(name), QStringList{"file error"});
    }
    EXPECT_TRUE(QDir("Beats/sub").isEmpty());
    EXPECT_FALSE(QFile::exists("escaped.txt"));
    EXPECT_EQ(QDir("Beats").entryList(QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(frmMainBeatFilesTest, SavingOverAFileReplacesItWhole) {
    writeFile("Beats/take.txt", QByteArray("1\r\n").repeated(80) + "notes of my own\r\n");
    EXPECT_EQ(save("take"), QStringList{"File Saved as take. Have fun."});
    EXPECT_EQ(readFile("Beats/take.txt"), lines(std::vector<int>(80, 0)));
}

namespace fs = std::filesystem;

// A file as the test lays it out, as root: its bytes, mode and owner.
void layFile(const char* path, int mode, uid_t owner = 0, gid_t group = 0) {
    std::ofstream(path, std::ios::binary) << "old\r\n";
    fs::permissions(path, static_cast<fs::perms>(mode));
    ASSERT_EQ(::chown(path, owner, group), 0);
}

void setMode(const char* path, int mode) { fs::permissions(path, static_cast<fs::perms>(mode)); }

std::string ownerAndMode(const char* path) {
    struct stat status {};
    ::stat(path, &status);
    return QString("%1:%2 %3").arg(status.st_uid).arg(status.st_gid).arg(status.st_mode & 07777, 0, 8).toStdString();
}

// Names in a folder that the list's "*.txt" would not show, such as a
// temporary file left behind.
QStringList unlisted(const char* folder) {
    QStringList names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() != ".txt") names << QString::fromStdString(entry.path().filename());
    return names;
}

// Runs the click as "nobody" (uid and gid 65534, also in the group 100), whom
// mode bits do stop, then turns back into root.
QStringList asNobody(const std::function<QStringList()>& click) {
    const gid_t groups[] = {65534, 100};
    std::vector<gid_t> rootGroups(::getgroups(0, nullptr));
    ::getgroups(static_cast<int>(rootGroups.size()), rootGroups.data());
    EXPECT_EQ(::setgroups(2, groups) | ::setegid(65534) | ::seteuid(65534), 0);
    const QStringList texts = click();
    EXPECT_EQ(::seteuid(0) | ::setegid(0) | ::setgroups(rootGroups.size(), rootGroups.data()), 0);
    return texts;
}

// A save succeeds wherever writing the file in place would, writes through a
// link, and keeps the mode and owner of the file it replaces.
TEST_F(frmMainBeatFilesTest, SaveWritesWhereverAPlainWriteWould) {
    if (::geteuid() != 0) GTEST_SKIP() << "saves as another user, which takes root";
    struct Case {
        const char* what;
        bool nobody;                // saves as "nobody", else as root
        std::function<void()> lay;  // in the folders Beats and Elsewhere, open to all
        const char* name;           // typed; Beats/<name>.txt is a link where written is elsewhere
        const char* written;        // the pattern is there after a save, else what was there
        bool saved;
        const char* ownerAndMode;  // of the written file, where it matters
    };
    const auto toReal = [] { fs::create_symlink("../Elsewhere/Real.txt", "Beats/Take.txt"); };
    const Case cases[] = {
        {"a writable file in a closed folder", true, [] { layFile("Beats/Take.txt", 0666), setMode("Beats", 0755); },
         "Take", "Beats/Take.txt", true, "0:0 666"},
        {"a new file in a closed folder", true, [] { setMode("Beats", 0755); }, "Take", "Beats/Take.txt", false, ""},
        {"root's file in a sticky folder", true, [] { layFile("Beats/Take.txt", 0666), setMode("Beats", 01777); },
         "Take", "Beats/Take.txt", true, "0:0 666"},
        {"a link to another folder", false, [&] { layFile("Elsewhere/Real.txt", 0640), toReal(); }, "Take",
         "Elsewhere/Real.txt", true, "0:0 640"},
        {"a link into a closed folder", true,
         [&] { layFile("Elsewhere/Real.txt", 0666), setMode("Elsewhere", 0755), toReal(); }, "Take",
         "Elsewhere/Real.txt", true, "0:0 666"},
        {"a link to no file yet", false, [&] { toReal(); }, "Take", "Elsewhere/Real.txt", true, ""},
        {"nobody's file, saved by root", false, [] { layFile("Beats/Take.txt", 0640, 65534, 100); }, "Take",
         "Beats/Take.txt", true, "65534:100 640"},
        {"nobody's own file in another of its groups", true, [] { layFile("Beats/Take.txt", 0660, 65534, 100); },
         "Take", "Beats/Take.txt", true, "65534:100 660"},
        {"root's file in a group of nobody's", true, [] { layFile("Beats/Take.txt", 0664, 0, 100); }, "Take",
         "Beats/Take.txt", true, "65534:100 664"},
        {"the name \".\"", false, [] {}, ".", "Beats/..txt", true, ""},
        {"the name \"..\"", false, [] {}, "..", "Beats/...txt", true, ""},
    };
    std::vector<int> values(80, 0);
    values[7] = 1;
    window->beatbox[7]->setChecked(true);
    setMode(scratch.path().toUtf8(), 0755);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* folder : {"Beats", "Elsewhere"}) {
            fs::remove_all(folder);
            fs::create_directory(folder);
            setMode(folder, 0777);
        }
        c.lay();
        const QByteArray before = readFile(c.written);
        const auto click = [&] { return save(c.name); };
        const QStringList texts = c.nobody ? asNobody(click) : click();
        EXPECT_EQ(texts, QStringList{c.saved ? QString("File Saved as %1. Have fun.").arg(c.name) : "file error"});
        EXPECT_EQ(readFile(c.written), c.saved ? lines(values) : before);
        if (*c.ownerAndMode) {
            EXPECT_EQ(ownerAndMode(c.written), c.ownerAndMode);
        }
        const QString typed = QString("Beats/%1.txt").arg(c.name);
        EXPECT_EQ(QFileInfo(typed).isSymLink(), typed != c.written);
        EXPECT_EQ(unlisted("Beats") + unlisted("Elsewhere"), QStringList{});
    }
}

TEST(frmMainWithoutBeatsFolder, OpensAndBothButtonsAnswerFileError) {
    testing::ScratchDirectory scratch;
    {
        QFile blocker("Beats");  // a plain file where the folder would go
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    LoopbackBackend midi;
    QtUiThread ui;
    frmMain window(midi, ui);
    EXPECT_EQ(window.File1->count(), 0);
    for (QPushButton* button : {window.savebutton, window.openbutton}) {
        MessageBoxReader reader;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(reader.texts, QStringList{"file error"});
    }
    EXPECT_EQ(QFileInfo("Beats").size(), 0);
}

}  // namespace
}  // namespace marovane
