// The Analyze tab as a user meets it, on a temporary home: pictures of each state
// with what each must show, and a removal through the screen to the Trash.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "Core/Clean/History.h"
#include "Core/Clean/Shell.h"
#include "Models/Kit/MotionPause.h"
#include "Models/Settings/Preferences.h"
#include "Views/Analyze/AnalyzeHero.h"
#include "Views/Analyze/Breadcrumbs.h"
#include "Views/Analyze/DetailTable.h"
#include "Views/Analyze/LargeFilesList.h"
#include "Views/Analyze/OrbitChart.h"
#include "Views/Analyze/RemovalBar.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/SubTabs.h"
#include "Support/Unprivileged.h"
#include "Views/Analyze/AnalyzeTestSupport.h"

using namespace analyzetest;

namespace {

std::vector<std::string> names(const AnalyzeModel& m) {
    std::vector<std::string> out;
    for (const auto& e : m.entries()) out.push_back(e.url.filename().string());
    return out;
}

int rowOf(const AnalyzeModel& m, const fs::path& url) {
    for (size_t i = 0; i < m.entries().size(); ++i)
        if (m.entries()[i].url == url) return int(i);
    return -1;
}

struct RowLook {
    QString title, symbol;
    bool selected;
    double indent;
    bool operator==(const RowLook&) const = default;
};
void PrintTo(const RowLook& r, std::ostream* os) {
    *os << r.title.toStdString() << " " << r.symbol.toStdString() << (r.selected ? " selected" : "") << " " << r.indent;
}
std::vector<RowLook> looks(const QList<PlaceRow*>& rows) {
    std::vector<RowLook> out;
    for (const PlaceRow* r : rows) out.push_back({r->text(), r->symbol(), r->selected(), r->indent()});
    return out;
}

// The point of the viewport of the detail list in the middle of row `row`.
QPoint rowPoint(DetailList& list, int row) { return list.rowRect(row).center(); }

// Clicks crumb `index` where it is drawn.
void clickCrumb(Breadcrumbs& crumbs, int index) {
    QTest::mouseClick(&crumbs, Qt::LeftButton, {}, crumbs.crumbRect(index).center());
}

void keep(const QImage& image, const char* name) { ASSERT_TRUE(keepScreenshot(image, name)); }

// The main window's picture with the dialog drawn where it stands over it.
QImage withDialog(QWidget& window, QWidget& dialog) {
    QImage image = window.grab().toImage();
    QPainter p(&image);
    const QPoint at = dialog.mapToGlobal(QPoint()) - window.mapToGlobal(QPoint());
    p.drawImage(at, dialog.grab().toImage());
    return image;
}

}  // namespace

TEST(AnalyzeScreen, FirstVisitReadsTheHomeFolderThenListsIt) {
    Home home;
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    // Showing the screen started the first listing; until it is published the black hole spins.
    ASSERT_EQ(stage.view->content(), AnalyzeView::Content::reading);
    EXPECT_EQ(stage.view->readingHero()->text()->title(), "Reading…");
    EXPECT_EQ(stage.view->readingHero()->text()->subtitle(), QString::fromStdString(home.home()));
    keep(stage.picture(), "analyze-reading");

    ASSERT_TRUE(stage.settle());
    ASSERT_EQ(stage.view->content(), AnalyzeView::Content::table);
    const auto n = names(*stage.model);
    ASSERT_GE(n.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(n.begin(), n.begin() + 4),
              (std::vector<std::string>{"Movies", "Library", "Projects", "Developer"}));
    const QString homeName = QString::fromStdString(home.home().filename());
    EXPECT_EQ(stage.view->breadcrumbs()->titles(), (QStringList{"Whole disk", homeName}));
    EXPECT_FALSE(stage.view->breadcrumbs()->isInert());
    EXPECT_TRUE(stage.view->backButton()->isEnabled());
    FolderPanel* panel = stage.view->panel();
    EXPECT_EQ(looks(panel->placeRows()), (std::vector<RowLook>{{"Whole disk", "internaldrive", false, 0},
                                                               {homeName, "house", true, 0},
                                                               {"Library", "building.columns", false, 0},
                                                               {"Downloads", "arrow.down.circle", false, 0},
                                                               {"Documents", "doc", false, 0},
                                                               {"Developer", "hammer", false, 0}}));
    EXPECT_EQ(looks(panel->pathRows()),
              (std::vector<RowLook>{{"Whole disk", "folder", false, 0}, {homeName, "folder.fill", true, 10}}));
    EXPECT_EQ(panel->nameLabel()->text(), homeName);
    EXPECT_EQ(panel->sizeFigure()->value(), QString::fromStdString(formattedBytes(*stage.model->folderSize())));
    EXPECT_EQ(panel->itemsFigure()->value(), QString::number(n.size()));
    EXPECT_FALSE(panel->showsMeasuring());
    // One arc for every folder above 0.4 % of the total, the small ones gathered at the end.
    const auto& inner = panel->chart()->rings().inner;
    ASSERT_EQ(inner.size(), 8u);
    EXPECT_EQ(inner.front().id, (home.home() / "Movies").native());
    EXPECT_EQ(inner.back().id, "other");
    EXPECT_EQ(panel->chart()->readout().name, homeName);
    keep(stage.picture(), "analyze-home");

    // Coming back to the tab shows what is there; it does not list again.
    const int generation = stage.model->generation();
    stage.window.hide();
    stage.window.show();
    EXPECT_EQ(stage.model->generation(), generation);
}

TEST(AnalyzeScreen, HoverLightsARowAndItsArcAndASliceInTheChart) {
    Home home;
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    DetailList* list = stage.view->table()->list();
    const int library = rowOf(*stage.model, home.home() / "Library");
    QTest::mouseMove(list->viewport(), rowPoint(*list, library));
    ASSERT_EQ(stage.model->focus(), AnalyzeFocus::entry((home.home() / "Library").native()));
    EXPECT_TRUE(list->row(library).lit);
    EXPECT_EQ(stage.view->panel()->chart()->chartFocus(), stage.model->focus());
    EXPECT_EQ(stage.view->panel()->chart()->readout().name, "Library");
    keep(stage.picture(), "analyze-hover-row");

    // Onto the chart, over Library's caches in the outer ring.
    OrbitChart* chart = stage.view->panel()->chart();
    const std::string caches = (home.home() / "Library/Caches").native();
    const auto& outer = chart->rings().outer;
    const auto slice = std::find_if(outer.begin(), outer.end(), [&](const auto& s) { return s.id == caches; });
    ASSERT_NE(slice, outer.end());
    const double turn = (slice->start + slice->end) / 2 * 2 * M_PI, r = 0.81 * chart->square().width() / 2;
    const QPoint at = (chart->square().center() + QPointF(r * std::sin(turn), -r * std::cos(turn))).toPoint();
    QTest::mouseMove(chart, at);
    ASSERT_EQ(stage.model->focus(), AnalyzeFocus::slice(caches));
    EXPECT_TRUE(chart->readout().caption.startsWith("Library/ · ")) << chart->readout().caption.toStdString();
    for (int i = 0; i < list->count(); ++i) EXPECT_FALSE(list->row(i).lit) << i;
    keep(stage.picture(), "analyze-hover-slice");

    // A click opens the slice two levels down.
    QTest::mouseClick(chart, Qt::LeftButton, {}, at);
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.model->path().back(), home.home() / "Library/Caches");
    EXPECT_EQ(stage.model->focus(), std::nullopt);
}

TEST(AnalyzeScreen, WholeDiskWhileItIsMeasured) {
    Home home;
    ClockScope clock(pictureTime);
    Stage stage(true);
    stage.show();
    stage.model->navigate("/");
    ASSERT_TRUE(until([&] { return !stage.model->listing(); }));
    EXPECT_EQ(stage.view->content(), AnalyzeView::Content::table);
    EXPECT_FALSE(stage.view->backButton()->isEnabled());
    EXPECT_EQ(stage.view->breadcrumbs()->titles(), QStringList{"Whole disk"});
    FolderPanel* panel = stage.view->panel();
    EXPECT_EQ(looks(panel->pathRows()), (std::vector<RowLook>{{"Whole disk", "folder.fill", true, 0}}));
    EXPECT_TRUE(panel->placeRows().front()->selected());
    EXPECT_EQ(panel->nameLabel()->text(), "Whole disk");
    EXPECT_TRUE(panel->showsMeasuring());
    EXPECT_EQ(panel->measuringLabel()->text(), QString("measuring %1…").arg(stage.model->pending()));
    EXPECT_EQ(panel->chart()->readout().name, "Whole disk");
    // The kernel's file systems are not walked (every walk is held here): no size and
    // no spinner, last in the list, where it is scrolled to.
    const std::vector<fs::path> kernel{"/proc", "/sys"};
    const auto sizeless = [&](const fs::path& k) {
        const int row = rowOf(*stage.model, k);
        return row >= 0 && stage.model->entries()[size_t(row)].sizeless;
    };
    ASSERT_TRUE(until([&] { return std::all_of(kernel.begin(), kernel.end(), sizeless); }));
    DetailList* list = stage.view->table()->list();
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    for (const auto& k : kernel) {
        EXPECT_FALSE(list->row(rowOf(*stage.model, k)).entry.measuring()) << k;
        EXPECT_TRUE(list->viewport()->rect().contains(list->rowRect(rowOf(*stage.model, k)))) << k;
    }
    keep(stage.picture(), "analyze-whole-disk");
}

// The Analyze tab's part of the smallest main window (860 × 600, under the tab bar):
// the folder panel's texts fit, and what does not fit in its height scrolls.
TEST(AnalyzeScreen, FitsTheSmallestWindow) {
    Home home;
    for (int i = 0; i < 10; ++i) fs::create_directories(home.home() / ("more-" + std::to_string(i)));
    ClockScope clock(pictureTime);
    Stage stage(true);
    stage.window.resize(860, 548);
    stage.view->setGeometry(stage.window.rect());
    stage.sky->setGeometry(stage.window.rect());
    stage.show();
    ASSERT_TRUE(until([&] { return !stage.model->listing(); }));
    const QImage picture = stage.picture();
    FolderPanel* panel = stage.view->panel();
    QScrollArea* lists = panel->lists();
    ASSERT_GT(lists->widget()->height(), lists->height());  // the lists are longer than the room left
    const auto whole = [&](const QWidget* w) {
        const QRect r(w->mapTo(panel, QPoint()), w->size());
        return r.bottom() < panel->shownHeight() || r.top() >= panel->shownHeight();
    };
    for (const QLabel* label : panel->findChildren<QLabel*>()) {
        if (label->isVisible()) {
            EXPECT_TRUE(whole(label)) << label->text().toStdString();
        }
    }
    for (const PlaceRow* row : panel->findChildren<PlaceRow*>()) EXPECT_TRUE(whole(row)) << row->text().toStdString();
    const QLabel* measuring = panel->measuringLabel();
    EXPECT_EQ(measuring->text(), QString("measuring %1…").arg(stage.model->pending()));
    EXPECT_GE(measuring->width(), measuring->sizeHint().width());
    // The crumbs keep the shown folder in view.
    Breadcrumbs* crumbs = stage.view->breadcrumbs();
    EXPECT_TRUE(crumbs->rect().contains(crumbs->crumbRect(int(stage.model->path().size()) - 1)));
    keep(picture, "analyze-smallest-window");
}

// Three levels below the home folder, in a folder with a long name: the crumbs give
// way whole from the start, the card cuts the name inside itself, and "You are here"
// shows the folder.
TEST(AnalyzeScreen, ThreeLevelsDeepWithALongFolderName) {
    Home home;
    const std::string longName = "client-website-redesign-with-the-new-checkout-and-every-asset-2024";
    const fs::path deep = home.home() / "Projects" / longName / "exports";
    allocate(deep / "final-cut-of-the-launch-video-for-the-spring-campaign-in-full-resolution.mov", 9 * MB);
    allocate(deep / "poster.psd", 3 * MB);
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    stage.model->navigate(deep);
    ASSERT_TRUE(stage.settle());
    stage.picture();
    FolderPanel* panel = stage.view->panel();
    Breadcrumbs* crumbs = stage.view->breadcrumbs();
    const auto inPanel = [&](const QWidget* w) { return QRect(w->mapTo(panel, QPoint()), w->size()); };
    // The shown folder's row in "You are here": lit and in view.
    const auto hereShows = [&](const QString& name) {
        const PlaceRow* here = panel->pathRows().back();
        EXPECT_EQ(here->text(), name);
        EXPECT_TRUE(here->selected());
        EXPECT_GE(inPanel(here).top(), panel->lists()->y());
        EXPECT_LE(inPanel(here).bottom(), panel->shownHeight()) << "the shown folder's row is out of view";
    };
    ASSERT_EQ(stage.model->path().size(), 5u);
    hereShows("exports");
    EXPECT_GT(crumbs->firstShown(), 0);
    EXPECT_TRUE(crumbs->showsEllipsis());
    for (int i = crumbs->firstShown(); i <= 4; ++i) {
        EXPECT_EQ(crumbs->shownTitle(i), crumbs->titles()[i]) << i;  // whole crumbs, none cut
        EXPECT_TRUE(crumbs->rect().contains(crumbs->crumbRect(i))) << i;
    }
    EXPECT_TRUE(crumbs->crumbRect(0).isEmpty());

    // One level up, three below the whole disk: the long name is cut inside the card
    // rather than widening the column, and in the bar in its middle, as it alone is too wide.
    stage.model->goBack();
    ASSERT_TRUE(stage.settle());
    const QImage up = stage.picture();
    hereShows(QString::fromStdString(longName));
    EXPECT_LE(inPanel(panel->nameLabel()).right(), panel->width());
    EXPECT_TRUE(panel->nameLabel()->text().contains(QStringLiteral("…")));
    EXPECT_TRUE(crumbs->shownTitle(3).contains(QStringLiteral("…")));
    EXPECT_TRUE(crumbs->rect().contains(crumbs->crumbRect(3)));
    keep(up, "analyze-three-levels-deep");
}

// At every depth, in the smallest window and at the default size, the whole chart and
// its centre show: the lists beneath give way.
TEST(AnalyzeScreen, TheChartStaysWholeAtEveryDepth) {
    Home home;
    const std::vector<std::string> levels{"Projects", "archive", "2023", "spring", "raw"};
    fs::path deep = home.home();
    for (size_t i = 0; i < levels.size(); ++i) {
        deep /= levels[i];
        allocate(deep / ("part-" + std::to_string(i) + ".bin"), int64_t(i + 1) * MB);
    }
    allocate(deep / "take-1.mov", 7 * MB);
    allocate(deep / "take-2.mov", 4 * MB);
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    struct Size {
        QSize screen;
        const char* picture;
    } const sizes[] = {{{860, 548}, "analyze-five-levels-deep-smallest"}, {defaultScreen, "analyze-five-levels-deep"}};
    for (const Size& size : sizes) {
        stage.window.resize(size.screen);
        stage.view->setGeometry(stage.window.rect());
        stage.sky->setGeometry(stage.window.rect());
        fs::path folder = home.home();
        for (size_t depth = 0; depth <= levels.size(); ++depth) {
            SCOPED_TRACE(testing::Message() << size.screen.width() << "×" << size.screen.height() << " depth " << depth);
            if (depth > 0) folder /= levels[depth - 1];
            stage.model->navigate(folder);
            ASSERT_TRUE(stage.settle());
            const QImage picture = stage.picture();
            const OrbitChart* chart = stage.view->panel()->chart();
            const QRect square = chart->square().toAlignedRect();
            EXPECT_GE(square.width(), 230);
            EXPECT_TRUE(stage.window.rect().contains(QRect(chart->mapTo(&stage.window, square.topLeft()), square.size())));
            // Nothing clips it: every pixel of its square can be painted.
            EXPECT_TRUE((QRegion(square) - chart->visibleRegion()).isEmpty());
            const PlaceRow* here = stage.view->panel()->pathRows().back();
            EXPECT_TRUE(here->selected());
            EXPECT_FALSE(here->visibleRegion().isEmpty()) << "the shown folder's row is out of view";
            if (depth == levels.size()) {
                EXPECT_EQ(chart->readout().name, "raw");
                EXPECT_EQ(stage.model->path().size(), 7u);
                keep(picture, size.picture);
            }
        }
    }
}

// Opened, a folder with nothing to list reads what its row read, and says why the
// list is empty.
TEST(AnalyzeScreen, AFolderWithNothingListedSaysSo) {
    Home home;
    fs::create_directories(home.home() / "Desktop");
    fs::create_directories(home.home() / "Shortcuts");
    fs::create_symlink(home.home() / "Movies", home.home() / "Shortcuts/Movies");
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    FolderPanel* panel = stage.view->panel();
    struct Case {
        const char* folder;
        QString says, files, picture;
    } const cases[] = {{"Desktop", "This folder is empty", "0", "analyze-empty-folder"},
                       {"Shortcuts", "Nothing listed: this folder holds only links", "1", {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const auto row = stage.model->entries()[size_t(rowOf(*stage.model, home.home() / c.folder))];
        stage.model->open(row);
        ASSERT_TRUE(stage.settle());
        const QImage picture = stage.picture();
        ASSERT_EQ(stage.view->content(), AnalyzeView::Content::table);
        EXPECT_EQ(stage.view->table()->list()->count(), 0);
        EXPECT_EQ(stage.view->table()->list()->emptyText(), c.says);
        EXPECT_EQ(panel->sizeFigure()->value(), QString::fromStdString(formattedBytes(*row.size)));
        EXPECT_EQ(panel->itemsFigure()->value(), "0");
        EXPECT_EQ(panel->filesFigure()->value(), c.files);
        EXPECT_EQ(panel->chart()->readout().size, row.size);
        if (!c.picture.isEmpty()) keep(picture, c.picture.toUtf8().constData());
        stage.model->goBack();
        ASSERT_TRUE(stage.settle());
    }
}

// A folder Quelto cannot open says so on its row and when opened; its size reads as
// unknown, never 0.
TEST(AnalyzeScreen, AFolderItCannotReadSaysSo) {
    if (!unprivileged::rerunAsNobody()) return;
    Home home;
    const fs::path locked = home.home() / "Locked";
    allocate(locked / "inside.bin", 3 * MB);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    const DetailRow row = stage.view->table()->list()->row(rowOf(*stage.model, locked));
    EXPECT_TRUE(row.entry.unreadable);
    EXPECT_FALSE(row.entry.size);
    EXPECT_FALSE(row.share);
    EXPECT_EQ(rowOf(*stage.model, locked), int(stage.model->entries().size()) - 1);  // no size to show: last
    stage.model->open(row.entry);
    ASSERT_TRUE(stage.settle());
    stage.picture();
    FolderPanel* panel = stage.view->panel();
    EXPECT_EQ(stage.view->table()->list()->emptyText(), "Quelto can't read this folder");
    EXPECT_TRUE(panel->unreadableLabel()->isVisible());
    for (const StatFigure* figure : {panel->sizeFigure(), panel->itemsFigure(), panel->filesFigure()})
        EXPECT_EQ(figure->value(), "—");
    EXPECT_FALSE(panel->chart()->readout().size);
    EXPECT_EQ(panel->chart()->readout().caption, "Quelto can't read it");
    stage.model->goBack();
    ASSERT_TRUE(stage.settle());
    EXPECT_TRUE(stage.model->readable());
    EXPECT_FALSE(panel->unreadableLabel()->isVisible());
    ::chmod(locked.c_str(), 0755);
}

// Scrolled with the wheel under a pointer at rest, the table lights the row now under
// the pointer, and the chart's centre tells of it, not of the row the pointer left.
TEST(AnalyzeScreen, WheelScrollMovesTheLightToTheRowUnderThePointer) {
    Home home;
    for (int i = 0; i < 20; ++i) allocate(home.home() / ("more-" + std::to_string(i)) / "x", (i + 1) * 100'000);
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    DetailList* list = stage.view->table()->list();
    const QPoint at = rowPoint(*list, 1);
    QTest::mouseMove(list->viewport(), at);
    ASSERT_EQ(stage.model->focus(), AnalyzeFocus::entry(stage.model->entries()[1].id()));

    const auto wheel = [&](QPoint delta, Qt::ScrollPhase phase) {
        QWheelEvent e(at, list->viewport()->mapToGlobal(at), {}, delta, Qt::NoButton, {}, phase, false);
        QCoreApplication::sendEvent(list->viewport(), &e);
    };
    wheel({0, -120}, Qt::ScrollUpdate);
    ASSERT_GT(list->verticalScrollBar()->value(), 0);
    wheel({}, Qt::ScrollEnd);
    const int row = list->rowAt(at);
    ASSERT_NE(row, 1);
    const auto& entry = stage.model->entries()[size_t(row)];
    EXPECT_EQ(stage.model->focus(), AnalyzeFocus::entry(entry.id()));
    EXPECT_EQ(stage.view->panel()->chart()->readout().name, QString::fromStdString(entry.url.filename().string()));
}

TEST(AnalyzeScreen, LargeFilesWhileSearching) {
    Home home;
    ClockScope clock(pictureTime);
    Stage stage(true);
    stage.show();
    ASSERT_TRUE(until([&] { return !stage.model->listing(); }));
    SubTabs* modes = stage.view->modePicker();
    QTest::mouseClick(modes, Qt::LeftButton, {}, modes->itemRect(1).center().toPoint());
    ASSERT_EQ(stage.model->mode(), AnalyzeModel::Mode::largeFiles);
    ASSERT_EQ(stage.view->content(), AnalyzeView::Content::largeFiles);
    EXPECT_TRUE(stage.view->largeFiles()->showsHero());
    EXPECT_EQ(stage.view->largeFiles()->hero()->text()->title(), "Searching…");
    EXPECT_EQ(stage.view->largeFiles()->hero()->text()->subtitle(), "Files over 500 MB");
    EXPECT_FALSE(stage.view->backButton()->isEnabled());
    EXPECT_TRUE(stage.view->breadcrumbs()->isInert());
    EXPECT_DOUBLE_EQ(stage.view->breadcrumbs()->opacity(), 0.4);
    keep(stage.picture(), "analyze-large-files-searching");
}

TEST(AnalyzeScreen, LargeFilesListedLargestFirst) {
    Home home;
    allocate(home.home() / "Movies/2024/raw.mov", 620LL << 20);
    allocate(home.home() / "Downloads/vm.img", 510 * MB);  // above 500 MB, below 500 MiB: not listed
    // A long path is cut in its middle, before the size.
    const fs::path dump = home.home() / "Projects/archive-of-the-customer-database-before-the-migration-to-the-new-cluster/dump.sql";
    allocate(dump, 540LL << 20);
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    stage.model->setMode(AnalyzeModel::Mode::largeFiles);
    ASSERT_TRUE(stage.settle());
    ASSERT_FALSE(stage.view->largeFiles()->showsHero());
    ASSERT_EQ(names(*stage.model), (std::vector<std::string>{"raw.mov", "dump.sql"}));
    // Protected (Movies) files cannot be chosen.
    EXPECT_FALSE(stage.model->canRemove(stage.model->entries()[0]));
    EXPECT_TRUE(stage.model->canRemove(stage.model->entries()[1]));
    LargeFileRows* rows = stage.view->largeFiles()->rows();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->rowRect(1).topLeft() + LargeFileRows::boxRect().center().toPoint());
    EXPECT_EQ(stage.model->selection(), AnalyzeModel::Selection{dump.native()});
    EXPECT_EQ(stage.view->largeFiles()->removalBar()->content(), RemovalBar::Content::selection);
    const QImage picture = stage.picture();
    // The picture shows "Large files" lit, not the highlight on its way there.
    SubTabs* modes = stage.view->modePicker();
    const auto brightness = [&](int item) {
        const QRect r = modes->itemRect(item).toRect().translated(modes->mapTo(&stage.window, QPoint()));
        double sum = 0;
        for (int x = r.left() + 2; x < r.left() + 10; ++x) sum += qGray(picture.pixel(x, r.center().y()));
        return sum;
    };
    EXPECT_GT(brightness(1), brightness(0) + 8 * 20);
    keep(picture, "analyze-large-files");
}

TEST(AnalyzeScreen, MovesChosenEntriesToTheTrashAfterAConfirmation) {
    Home home;
    ClockScope clock(pictureTime);
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    const fs::path projects = home.home() / "Projects";
    const int64_t measured = std::stoll(Shell::run("/usr/bin/du", {"-sx", "-B1", projects.native()}, 30).output) +
                             std::stoll(Shell::run("/usr/bin/du", {"-sx", "-B1", home.latin1().native()}, 30).output);
    DetailList* list = stage.view->table()->list();
    for (const fs::path& p : {projects, home.latin1()}) {
        const QPoint box = list->rowRect(rowOf(*stage.model, p)).topLeft() + DetailList::boxRect().center().toPoint();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box);
    }
    // The name that is not UTF-8 is chosen by its bytes.
    ASSERT_EQ(stage.model->selection(), (AnalyzeModel::Selection{projects.native(), home.latin1().native()}));
    RemovalBar* bar = stage.view->table()->removalBar();
    ASSERT_EQ(bar->content(), RemovalBar::Content::selection);
    EXPECT_EQ(bar->summary()->text(), RemovalBar::selectionText(2, measured));
    EXPECT_EQ(bar->removeButton()->text(), "Move to Trash");

    QTest::mouseClick(bar->removeButton(), Qt::LeftButton);
    ConfirmationDialog* dialog = bar->confirmation();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title(), RemovalBar::confirmationTitle(2, measured));
    EXPECT_EQ(dialog->message(), "You can put them back from the Trash until you empty it.");
    EXPECT_EQ(dialog->destructiveButton()->text(), "Move to Trash");
    stage.view->finishAnimations();
    keep(withDialog(stage.window, *dialog), "analyze-confirm");
    QTest::mouseClick(dialog->destructiveButton(), Qt::LeftButton);
    ASSERT_TRUE(until([&] { return stage.model->lastRemoval().has_value() && settled(*stage.model); }));

    ASSERT_EQ(bar->content(), RemovalBar::Content::banner);
    EXPECT_EQ(bar->bannerLabel()->text(), QString("2 items · %1 moved to the Trash").arg(QString::fromStdString(formattedBytes(measured))));
    EXPECT_EQ(bar->bannerIcon()->symbol(), "checkmark.circle.fill");
    EXPECT_TRUE(bar->openTrashButton()->isVisible());
    EXPECT_FALSE(bar->skippedLabel()->isVisible());
    keep(stage.picture(), "analyze-banner");

    // In the freedesktop Trash, as another tool lists it.
    const auto trash = Shell::run("/usr/bin/trash-list", {}, 30);
    EXPECT_NE(trash.output.find(" " + projects.native() + "\n"), std::string::npos) << trash.output;
    EXPECT_EQ(std::count(trash.output.begin(), trash.output.end(), '\n'), 2) << trash.output;
    EXPECT_FALSE(fs::exists(projects));
    EXPECT_FALSE(fs::exists(home.latin1()));
    // The history counts the measured bytes, and the home folder is measured afresh next time.
    const auto history = History::entries();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history.front().action, "analyze");
    EXPECT_EQ(history.front().count, 2);
    EXPECT_EQ(history.front().bytes, measured);
    EXPECT_FALSE(stage.model->sizes().cached(home.home().native()).has_value());
    EXPECT_EQ(rowOf(*stage.model, projects), -1);

    QTest::mouseClick(bar->dismissButton(), Qt::LeftButton);
    EXPECT_EQ(bar->content(), RemovalBar::Content::none);
    EXPECT_TRUE(bar->isHidden());
}

TEST(AnalyzeScreen, PreviewSaysWhatWouldBeFreedAndTouchesNothing) {
    Home home;
    ClockScope clock(pictureTime);
    Preferences::shared().setDryRun(true);
    struct Reset {
        ~Reset() { Preferences::shared().setDryRun(false); }
    } reset;
    Stage stage;
    stage.show();
    ASSERT_TRUE(stage.settle());
    const fs::path projects = home.home() / "Projects";
    const int64_t size = *stage.model->entries()[size_t(rowOf(*stage.model, projects))].size;
    stage.model->toggleSelection(stage.model->entries()[size_t(rowOf(*stage.model, projects))]);
    RemovalBar* bar = stage.view->table()->removalBar();
    EXPECT_EQ(bar->removeButton()->text(), "Preview removal");
    QTest::mouseClick(bar->removeButton(), Qt::LeftButton);
    ASSERT_NE(bar->confirmation(), nullptr);
    EXPECT_EQ(bar->confirmation()->destructiveButton()->text(), "Move to Trash");
    QTest::mouseClick(bar->confirmation()->destructiveButton(), Qt::LeftButton);
    ASSERT_TRUE(until([&] { return stage.model->lastRemoval().has_value() && !stage.model->removing(); }));
    // The selection stays, and with it the selection bar, until it is cleared.
    EXPECT_EQ(bar->content(), RemovalBar::Content::selection);
    QTest::mouseClick(bar->clearButton(), Qt::LeftButton);
    ASSERT_EQ(bar->content(), RemovalBar::Content::banner);
    EXPECT_EQ(bar->bannerLabel()->text(), QString("Preview: %1 would be freed").arg(QString::fromStdString(formattedBytes(size))));
    EXPECT_EQ(bar->bannerIcon()->symbol(), "eye");
    EXPECT_FALSE(bar->openTrashButton()->isVisible());
    EXPECT_TRUE(fs::exists(projects / "site/build/app.bin"));
    keep(stage.picture(), "analyze-preview");
}

TEST(AnalyzeScreen, BackAndItsShortcutFollowTheCrumbsAndTheMode) {
    Home home;
    Stage stage;
    stage.show();
    stage.model->navigate(home.home() / "Library/Caches");
    ASSERT_TRUE(stage.settle());
    ASSERT_EQ(stage.model->path().size(), 4u);
    stage.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&stage.window));
    stage.view->setFocus();
    QTest::keyClick(stage.view, Qt::Key_BracketLeft, Qt::ControlModifier);
    EXPECT_EQ(stage.model->path().size(), 3u);
    // A crumb jumps back up; the last one does nothing.
    Breadcrumbs* crumbs = stage.view->breadcrumbs();
    clickCrumb(*crumbs, 1);
    ASSERT_TRUE(stage.settle());
    EXPECT_EQ(stage.model->path().back(), home.home());
    const int generation = stage.model->generation();
    clickCrumb(*crumbs, 1);
    EXPECT_EQ(stage.model->generation(), generation);
    // "Measure again" lists the folder afresh.
    QTest::mouseClick(stage.view->measureAgainButton(), Qt::LeftButton);
    ASSERT_TRUE(until([&] { return stage.model->generation() > generation && settled(*stage.model); }));
    EXPECT_EQ(stage.model->path().back(), home.home());
    stage.model->setMode(AnalyzeModel::Mode::largeFiles);
    QTest::keyClick(stage.view, Qt::Key_BracketLeft, Qt::ControlModifier);
    EXPECT_EQ(stage.model->path().size(), 2u);
    EXPECT_FALSE(stage.view->backButton()->isEnabled());
}
