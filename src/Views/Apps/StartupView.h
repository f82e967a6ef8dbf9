#pragma once
#include <QAbstractScrollArea>
#include <QFont>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "Views/Kit/Controls.h"
#include "Views/Kit/StillPicture.h"

class QMenu;
class QStackedLayout;
class QVariantAnimation;
class SpinnerView;
class StartupModel;

// The three sections of the Startup screen on one scrolling page: the apps that
// open at login, the background items and the launch services. Only what is on
// screen is drawn, and a row's place follows from the rows above it, so a folder
// of thousands of jobs scrolls as fast as a few.
class StartupList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit StartupList(StartupModel& model, QWidget* parent = nullptr);

    enum class Section { openAtLogin, background, launchServices };
    struct Target {
        enum class Kind { none, removeLogin, showBackground, changeBackground, jobSwitch, jobLock, jobCard };
        Kind kind = Kind::none;
        int index = -1;  // the row in its model list
        bool operator==(const Target&) const = default;
    };
    // What a click at this point of the viewport acts on.
    Target targetAt(QPoint viewportPos) const;
    // The target's control (or, for jobCard, the whole card) in viewport coordinates;
    // empty when it is not on the page.
    QRect rectOf(const Target& target) const;
    // Every text the page shows, top to bottom (section titles as drawn, in upper case).
    QStringList texts() const;
    QString toolTipAt(QPoint viewportPos) const;
    // A launch service's menu: "Show in Finder", and "Remove" for the user's own.
    QMenu* contextMenu(int job, QWidget* parent);
    // Where the job's switch knob is drawn now: 0 off ... 1 on.
    double knob(int job) const;
    // Rows drawn by the last paint: what is on screen, never the whole list.
    int rowsPainted() const { return rowsPainted_; }
    // What "Show in Finder" calls; the file manager by default.
    std::function<void(const std::filesystem::path&)> reveal;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    struct Block {
        enum class Kind { title, detail, error, empty, passwordCard, login, background, job };
        Kind kind;
        Section section;
        int index = -1;  // rows: the row in its model list
        int top = 0;     // content coordinates
        int height = 0;
    };
    struct Fonts {
        QFont title, detail, empty, name, mono, rowError;
    };
    void relayout();
    void syncKnobs();
    void syncSpinner();
    void act(const Target& t);
    void invalidate();
    void render(QPainter& p);
    QString blockText(const Block& b) const;
    const Block* blockAt(int contentY) const;
    QRect cardOf(const Block& b) const;  // content coordinates
    QRectF controlRect(const Block& b, Target::Kind kind) const;
    int jobTextWidth(const QRect& card) const;
    QRect toViewport(const QRectF& content) const;
    void paintLogin(QPainter& p, const Block& b);
    void paintBackground(QPainter& p, const Block& b);
    void paintJob(QPainter& p, const Block& b);
    void paintPasswordCard(QPainter& p, const Block& b);
    void paintPill(QPainter& p, const Block& b, Target::Kind kind, const QString& text, bool enabled);
    // The row's card; returns the box of its leading icon.
    QRectF paintCard(QPainter& p, const Block& b);
    void paintIcon(QPainter& p, const QRectF& box, const std::optional<std::filesystem::path>& appIcon);

    StartupModel& model_;
    Fonts fonts_;
    int pillHeight_ = 0;
    std::vector<Block> blocks_;
    Target pressed_;
    std::map<std::filesystem::path, bool> shownEnabled_;
    // The switches sliding now; every other knob sits where its job's value says.
    std::map<std::filesystem::path, QVariantAnimation*> slides_;
    Spinner::Clock spin_{[this] { invalidate(); }};
    int rowsPainted_ = 0;
    StillPicture picture_;
    size_t generation_ = 0;  // what the page shows; a new value draws it again
};

// Apps ▸ Startup: everything that opens or runs by itself, with a header that
// reloads it. It loads the model the first time it appears.
class StartupView : public QWidget {
    Q_OBJECT
public:
    explicit StartupView(StartupModel& model, QWidget* parent = nullptr);

    StartupList* list() const { return list_; }
    // The full-page progress indicator shows instead of the list.
    bool showsProgress() const;

protected:
    void showEvent(QShowEvent*) override;

private:
    void syncBody();

    StartupModel& model_;
    QStackedLayout* body_;
    QWidget* progress_;
    StartupList* list_;
};
