#include <gtest/gtest.h>

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/FileSizer.h"
#include "Platform/Locations.h"
#include "Support/QtTestSupport.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"
#include "Views/Clean/EmptyTrashButton.h"
#include "Views/Kit/ConfirmationDialog.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

namespace fs = std::filesystem;

namespace {

// Three trashed entries with their .trashinfo files; "stuck" holds a file.
void makeTrash(const fs::path& home) {
    const fs::path files = home / ".local/share/Trash/files", info = home / ".local/share/Trash/info";
    testtree::writeFile(files / "a.bin", std::string(40000, 'a'));
    testtree::writeFile(files / "folder/inner.bin", std::string(90000, 'f'));
    testtree::writeFile(files / "stuck/pinned", std::string(30000, 'p'));
    for (const char* name : {"a.bin", "folder", "stuck"})
        testtree::writeFile(info / (std::string(name) + ".trashinfo"),
                            std::string("[Trash Info]\nPath=/old/") + name + "\nDeletionDate=2024-05-01T10:00:00\n");
}

// Every name, kind, mode and content under `root`.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string v = std::to_string(st.st_mode) + ":";
        if (S_ISREG(st.st_mode)) {
            std::ifstream in(e.path(), std::ios::binary);
            v += std::string(std::istreambuf_iterator<char>(in), {});
        }
        out[fs::relative(e.path(), root).string()] = v;
    }
    return out;
}

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Clicks the button and answers the dialog with `answer`.
void answer(EmptyTrashButton& b, const std::function<void(ConfirmationDialog&)>& answer) {
    QTest::mouseClick(b.button(), Qt::LeftButton);
    ConfirmationDialog* d = b.dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(b.confirming());
    EXPECT_EQ(d->title(), "Empty the Trash?");
    EXPECT_EQ(d->message(), "Everything in the Trash is deleted for good, including files you put there yourself.");
    EXPECT_EQ(d->destructiveButton()->text(), "Empty Trash");
    answer(*d);
    EXPECT_FALSE(b.confirming());
}

void confirm(ConfirmationDialog& d) { QTest::mouseClick(d.destructiveButton(), Qt::LeftButton); }

}  // namespace

TEST(EmptyTrashButton, ReturnEscapeAndCancelLeaveTheTrashAsItWas) {
    qttest::TempHome home;
    makeTrash(home.path());
    const auto before = snapshot(home / ".local/share/Trash");
    EmptyTrashButton b;
    b.show();
    answer(b, [](ConfirmationDialog& d) { QTest::keyClick(&d, Qt::Key_Return); });
    answer(b, [](ConfirmationDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    answer(b, [](ConfirmationDialog& d) { QTest::mouseClick(d.cancelButton(), Qt::LeftButton); });
    QCoreApplication::processEvents();
    EXPECT_EQ(snapshot(home / ".local/share/Trash"), before);
    EXPECT_FALSE(b.emptied());
    EXPECT_TRUE(b.button()->isVisible());
}

TEST(EmptyTrashButton, EmptiedTrashShowsTheCheckmarkAndTheBytes) {
    qttest::TempHome home;
    makeTrash(home.path());
    EmptyTrashButton b;
    b.show();
    answer(b, confirm);
    EXPECT_TRUE(b.working());
    EXPECT_FALSE(b.button()->isEnabled());
    EXPECT_TRUE(b.button()->isBusy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.emptied().has_value(); }, 20000));
    EXPECT_EQ(b.emptied()->left, 0);
    EXPECT_EQ(b.result()->text(), "Trash emptied · " + QString::fromStdString(formattedBytes(b.emptied()->freed)));
    EXPECT_GE(b.emptied()->freed, 160000);
    EXPECT_EQ(b.result()->symbol(), "checkmark");
    EXPECT_EQ(b.result()->color(), Theme::good());
    EXPECT_FALSE(b.button()->isVisible());
    EXPECT_TRUE(names(home / ".local/share/Trash/files").empty());
    EXPECT_TRUE(names(home / ".local/share/Trash/info").empty());
}

TEST(EmptyTrashButton, AnEntryThatCannotBeDeletedIsNamedWithoutTheCheckmark) {
    if (!unprivileged::rerunAsNobody()) return;
    qttest::TempHome home;
    makeTrash(home.path());
    const fs::path files = home / ".local/share/Trash/files";
    const int64_t freed = FileSizer::size(files / "a.bin") + FileSizer::size(files / "folder");
    // A folder whose file its owner may not unlink.
    ASSERT_EQ(::chmod((files / "stuck").c_str(), 0555), 0);

    EmptyTrashButton b;
    b.show();
    answer(b, confirm);
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.emptied().has_value(); }, 20000));
    ::chmod((files / "stuck").c_str(), 0755);
    EXPECT_EQ(b.result()->text(), QString::fromStdString("Freed " + formattedBytes(freed)) + " · 1 item could not be deleted");
    EXPECT_EQ(b.result()->symbol(), QString());
    EXPECT_EQ(b.result()->color(), Theme::review());
    EXPECT_FALSE(b.button()->isVisible());
    EXPECT_EQ(names(files), std::vector<std::string>{"stuck"});
    EXPECT_EQ(names(home / ".local/share/Trash/info"), std::vector<std::string>{"stuck.trashinfo"});
    EXPECT_TRUE(fs::exists(files / "stuck/pinned"));
}

TEST(EmptyTrashButton, ResultTexts) {
    EXPECT_EQ(EmptyTrashButton::resultText({0, 0}), "Trash emptied · 0 bytes");
    EXPECT_EQ(EmptyTrashButton::resultText({1200000, 1}), "Freed 1.2 MB · 1 item could not be deleted");
    EXPECT_EQ(EmptyTrashButton::resultText({0, 3}), "Freed 0 bytes · 3 items could not be deleted");
}
