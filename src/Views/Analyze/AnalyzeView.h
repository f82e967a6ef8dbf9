#pragma once
#include <QAbstractButton>
#include <QScrollArea>
#include <QWidget>

#include <filesystem>
#include <vector>

#include "Models/Analyze/AnalyzeModel.h"
#include "Views/Kit/Spring.h"
#include "Views/Kit/StillPicture.h"

class AnalyzeHero;
class Breadcrumbs;
class DetailTable;
class LargeFilesList;
class Meter;
class Monitor;
class OrbitChart;
class QLabel;
class QStackedLayout;
class SubTabs;
class SymbolButton;

// The disk's capacity from the monitor: a meter and "used / total"; nothing while
// the monitor has no figure.
class DiskUsageBadge : public QWidget {
    Q_OBJECT
public:
    explicit DiskUsageBadge(Monitor& monitor, QWidget* parent = nullptr);
    static QString text(int64_t used, int64_t total);
    Meter* meter() const { return meter_; }
    QLabel* label() const { return label_; }

private:
    void sync();
    Monitor& monitor_;
    Meter* meter_;
    QLabel* label_;
};

// One row of "Places" or "You are here".
class PlaceRow : public QAbstractButton {
    Q_OBJECT
public:
    PlaceRow(const QString& symbol, const QString& title, bool selected, double indent, QWidget* parent = nullptr);
    QString symbol() const { return symbol_; }
    bool selected() const { return selected_; }
    double indent() const { return indent_; }
    bool hovering() const { return hovering_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QString symbol_;
    bool selected_;
    double indent_;
    bool hovering_ = false;
    StillPicture picture_;
};

// One figure of the stats card: a value that counts to its new text, over its caption.
class StatFigure : public QWidget {
public:
    StatFigure(const QString& label, QWidget* parent = nullptr);
    QString value() const { return value_; }
    void setValue(const QString& value);
    // Ends a roll under way (for tests and pictures).
    void finishRoll();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString from_, value_, label_;
    QFont valueFont_, labelFont_;
    SpringAnimator roll_;
    StillPicture picture_;
};

// The left column: the orbit chart and the shown folder's card, always whole, over
// the places and the path as an indented list, which scroll when the column is short.
class FolderPanel : public QWidget {
    Q_OBJECT
public:
    struct Place {
        std::filesystem::path url;
        QString title;
        QString symbol;
    };
    // The fixed places that exist now, in order.
    static std::vector<Place> places(const std::filesystem::path& home);

    explicit FolderPanel(AnalyzeModel& model, QWidget* parent = nullptr);
    OrbitChart* chart() const { return chart_; }
    QWidget* card() const { return card_; }
    // "Places" and "You are here": what gives way in a short window.
    QScrollArea* lists() const { return lists_; }
    QList<PlaceRow*> placeRows() const;
    QList<PlaceRow*> pathRows() const;
    QLabel* nameLabel() const { return name_; }
    QLabel* pathLabel() const { return pathLabel_; }
    const StatFigure* sizeFigure() const { return size_; }
    const StatFigure* itemsFigure() const { return items_; }
    const StatFigure* filesFigure() const { return files_; }
    QLabel* measuringLabel() const { return measuring_; }
    // "Quelto can't read this folder", shown only then.
    QLabel* unreadableLabel() const { return unreadable_; }
    bool showsMeasuring() const;
    // How far down the panel its column shows (the rest of the lists stays clear).
    int shownHeight() const;
    // Ends the chart's sweep, its change of light and the figures' rolls (for tests and pictures).
    void finishAnimations();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Ends the view below the last whole row; once the lists are laid out afresh
    // (`relaid`), also starts it at a whole row and brings the shown folder's row into it.
    void fitView(bool relaid);
    void syncChart();
    void syncFocus();
    void syncFolder();
    void syncStats();
    void openFocus(const AnalyzeFocus& focus);

    AnalyzeModel& model_;
    OrbitChart* chart_;
    QLabel* icon_;
    QLabel* name_;
    QLabel* pathLabel_;
    StatFigure* size_;
    StatFigure* items_;
    StatFigure* files_;
    QWidget* card_;
    QWidget* measuringRow_;
    QLabel* measuring_;
    QLabel* unreadable_;
    QScrollArea* lists_;
    QWidget* placesBox_;
    QWidget* pathBox_;
    bool revealHere_ = false;  // the shown folder's row is still to be scrolled into view
};

// The Analyze tab: the folder panel beside the header and the table, the large
// files, or the black hole while a folder is first read.
class AnalyzeView : public QWidget {
    Q_OBJECT
public:
    AnalyzeView(AnalyzeModel& model, Monitor& monitor, QWidget* parent = nullptr);
    static constexpr int topPadding = 14;

    enum class Content { table, reading, largeFiles };
    Content content() const { return content_; }

    FolderPanel* panel() const { return panel_; }
    QAbstractButton* backButton() const { return back_; }
    Breadcrumbs* breadcrumbs() const { return crumbs_; }
    SubTabs* modePicker() const { return modes_; }
    DiskUsageBadge* diskBadge() const { return badge_; }
    SymbolButton* measureAgainButton() const { return measure_; }
    DetailTable* table() const { return table_; }
    LargeFilesList* largeFiles() const { return largeFiles_; }
    AnalyzeHero* readingHero() const { return reading_; }
    bool canGoBack() const;
    // Ends every animation under way and stops the chart's sweep (for tests and pictures).
    void finishAnimations();

protected:
    void showEvent(QShowEvent*) override;

private:
    void sync();

    AnalyzeModel& model_;
    FolderPanel* panel_;
    QAbstractButton* back_;
    Breadcrumbs* crumbs_;
    SubTabs* modes_;
    DiskUsageBadge* badge_;
    SymbolButton* measure_;
    QStackedLayout* contentStack_;
    DetailTable* table_;
    LargeFilesList* largeFiles_;
    AnalyzeHero* reading_;
    Content content_ = Content::table;
};
