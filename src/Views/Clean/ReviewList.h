#pragma once
#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "Models/Clean/CleanListModel.h"
#include "Views/Kit/Controls.h"

class QMenu;
class SpringAnimator;

// The report of the last clean at the top of the review sheet.
namespace ReportBanner {
QString headline(const CleanReport& report);
QString symbol(const CleanReport& report);
QColor color(const CleanReport& report);
QString skippedTitle(const CleanReport& report);
QString skippedLine(const CleanReport::Skip& skip);
}  // namespace ReportBanner

// One category's card header: the box, "k/n", its sizes.
namespace CategoryCard {
struct Summary {
    int count = 0;       // n
    int selected = 0;    // k
    int64_t size = 0;    // of all n
    int64_t selectedSize = 0;
};
Summary summarize(const std::vector<CleanItem>& items, const CleanListModel::Selection& selection);
// The same for the findings of one group of the list.
Summary summarize(const CleanListModel& list, const std::vector<size_t>& rows);
CheckBox::Mark mark(const Summary& s);
QString countText(const Summary& s);
// The selected share under the size, only while some but not all are selected.
std::optional<QString> selectedSizeText(const Summary& s);
QColor sizeColor(const Summary& s);
}  // namespace CategoryCard

// One finding's row.
namespace ItemRow {
// The last component of the path, for display only.
QString name(const CleanItem& item);
// "Review", "Permanent", "admin", each with its colour, in that order.
std::vector<std::pair<QString, QColor>> tags(const CleanItem& item);
// The full path as a tool tip that never reads as markup.
QString toolTip(const CleanItem& item);
}  // namespace ItemRow

// The scrolling part of the review sheet: the report banner, then one card per
// category with its findings. Only what is on screen is drawn, row by row, and a
// card's position follows from the cards above it, so a category of thousands of
// findings opens as fast as a small one.
class ReviewList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReviewList(CleanListModel& model, QWidget* parent = nullptr);

    struct Target {
        enum class Kind { none, skippedDisclosure, cardBox, cardHeader, row };
        Kind kind = Kind::none;
        int group = -1;
        int item = -1;
        bool operator==(const Target&) const = default;
    };
    // What a click at this point of the viewport acts on.
    Target targetAt(QPoint viewportPos) const;
    // Viewport coordinates; empty when the card or row is not laid out.
    QRect headerRect(int group) const;
    QRect rowRect(int group, int item) const;
    QRect headerBoxRect(int group) const;
    QRect bannerRect() const;

    // Each card's findings, as where they stand in the list's items.
    const std::vector<CleanListModel::Rows>& groups() const { return groups_; }
    const CleanItem& item(int group, int row) const;
    // A card is open when the user opened it, or when it is the only one.
    bool isExpanded(int group) const;
    double openness(int group) const;
    const std::set<CleanCategory>& expanded() const { return expanded_; }
    void toggleExpanded(CleanCategory category, bool animated = true);
    void setSkippedOpen(bool open);

    QString toolTipAt(QPoint viewportPos) const;
    // The row's menu: "Show in Finder" and "Copy Path". The caller shows and owns it.
    QMenu* contextMenu(int group, int item, QWidget* parent);
    // Rows drawn by the last paint: what is on screen, never the whole list.
    int rowsPainted() const { return rowsPainted_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    struct Card {
        int top = 0;        // content coordinates
        int height = 0;     // header plus the open share of the rows
    };
    struct Fonts {
        QFont title, count, summary, size, selected, name, note, rowSize, banner, skipped;
    };
    void rebuildGroups();
    void resummarize();
    void relayout();
    int rowsTop(int group) const;  // content y of the first row of an open card
    int expandedHeight(int group) const;
    void act(const Target& t);
    void setHover(const Target& t);
    QRect toViewport(const QRect& content) const;
    // What changes the list's picture; a repaint for the sky behind only copies it.
    void invalidate();
    void render(QPainter& p);
    void paintBanner(QPainter& p, const QRect& r);
    void paintHeader(QPainter& p, int group, const QRect& r);
    void paintRow(QPainter& p, const CleanItem& item, const QRect& r, bool hovered);

    CleanListModel& model_;
    Fonts fonts_;
    int headerHeight_ = 0, rowHeight_ = 0, bannerLine_ = 0, skippedLine_ = 0;
    std::vector<CleanListModel::Rows> groups_;
    std::vector<CategoryCard::Summary> summaries_;
    std::vector<Card> cards_;
    int bannerHeight_ = 0;
    int contentHeight_ = 0;
    std::set<CleanCategory> expanded_;
    std::map<CleanCategory, double> openness_;
    std::map<CleanCategory, QPointer<SpringAnimator>> springs_;
    bool skippedOpen_ = false;
    Target pressed_;
    Target hover_;
    int rowsPainted_ = 0;
    QPixmap picture_;
    bool stale_ = true;
};
