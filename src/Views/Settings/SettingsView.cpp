#include "Views/Settings/SettingsView.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "Core/Permissions.h"
#include "Models/Settings/Preferences.h"
#include "Models/Kit/QtBridge.h"
#include "Platform/Locations.h"
#include "Platform/LoginItemService.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/StillLabel.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

using namespace SettingsLogic;

namespace {

SettingsView::PathPicker& pickerOverride() {
    static SettingsView::PathPicker picker;
    return picker;
}

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr) {
    auto* l = new StillLabel(text, parent);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}

// A container that draws nothing but its background. The background depends on
// the size alone, so it is drawn once per size and copied, a painted rectangle at
// a time, whenever a star passes behind it.
class Backdrop : public QWidget {
public:
    using Paint = void (*)(QPainter&, const QRectF&);
    explicit Backdrop(Paint paint, QWidget* parent = nullptr) : QWidget(parent), paint_(paint) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = (QSizeF(size()) * ratio).toSize();
        if (picture_.size() != pixels) {
            picture_ = QPixmap(pixels);
            picture_.setDevicePixelRatio(ratio);
            picture_.fill(Qt::transparent);
            QPainter on(&picture_);
            paint_(on, QRectF(rect()));
        }
        QPainter p(this);
        for (const QRect& r : event->region())
            p.drawPixmap(r.topLeft(), picture_, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    }

private:
    Paint paint_;
    QPixmap picture_;
};

QWidget* divider(QWidget* parent = nullptr) {
    auto* line = new Backdrop([](QPainter& p, const QRectF& r) { p.fillRect(r, Theme::stroke()); }, parent);
    line->setFixedHeight(1);
    return line;
}

// The rounded, darkened area a section sits on.
void paintSectionPanel(QPainter& p, const QRectF& r) { paintOutlinedRoundedRect(p, r, 14, Theme::black(0.22)); }

// A group of rows on a faint rounded background, as the platform's grouped forms draw it.
void paintFormGroup(QPainter& p, const QRectF& r) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Theme::stroke(), 1));
    p.setBrush(Theme::white(0.04));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
}

// The background of a list of paths.
void paintListArea(QPainter& p, const QRectF& r) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::card());
    p.drawRoundedRect(r, 10, 10);
}

// One labelled row of the General section.
QWidget* settingRow(const QString& title, QLabel*& detail, const QString& detailText, QWidget* control) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(8, 12, 8, 12);
    h->setSpacing(0);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    column->addWidget(label(title, Theme::font(13, QFont::DemiBold), Theme::text()));
    detail = label(detailText, Theme::font(11.5), Theme::secondary());
    detail->setWordWrap(true);
    column->addWidget(detail);
    h->addLayout(column, 1);
    h->addSpacing(12);
    h->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

QStringList runPicker(bool canChooseFiles, QWidget* parent) {
    if (pickerOverride()) return pickerOverride()(canChooseFiles, parent);
    PathPanel panel(canChooseFiles, parent);
    if (panel.exec() != QDialog::Accepted) return {};
    return panel.chosen;
}

// One stored path in a list; pressing it selects it.
class PathRow : public QAbstractButton {
public:
    PathRow(const QString& path, bool selected, QWidget* clipTo, QWidget* parent)
        : QAbstractButton(parent), path_(path), selected_(selected), clipTo_(clipTo) {
        setText(path);
        setFont(Theme::font(13));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return QSize(200, QFontMetrics(font()).height() + 20); }
    void setSelected(bool selected) {
        if (selected == selected_) return;
        selected_ = selected;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (selected_) {
            // Keep the list's rounded corners when the first or last row is selected.
            QPainterPath clip;
            const QPoint off = mapFrom(clipTo_, QPoint(0, 0));
            clip.addRoundedRect(QRectF(clipTo_->rect()).translated(off), 10, 10);
            p.setClipPath(clip);
            p.fillRect(rect(), Theme::cardHover());
            p.setClipping(false);
        }
        const double icon = Symbols::sizeForFont(13);
        double x = 14;
        Symbols::paint(p, QStringLiteral("folder"), QRectF(x, (height() - icon) / 2, icon, icon), Theme::secondary());
        x += icon + 8;
        double right = width() - 14;
        if (selected_) {
            Symbols::paint(p, QStringLiteral("checkmark"), QRectF(right - icon, (height() - icon) / 2, icon, icon),
                           Theme::text(), 1.3);
            right -= icon + 8;
        }
        p.setPen(Theme::text());
        const QString shown = fontMetrics().elidedText(path_, Qt::ElideMiddle, int(right - x));
        p.drawText(QRectF(x, 0, right - x, height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
    }

private:
    QString path_;
    bool selected_;
    QWidget* clipTo_;
};

}  // namespace

// ---- PathPanel

PathPanel::PathPanel(bool canChooseFiles, QWidget* parent) : QFileDialog(parent), canChooseFiles_(canChooseFiles) {
    setOption(QFileDialog::DontUseNativeDialog);
    // The folder mode refuses a selected file; the files mode takes folders too
    // (accept() below keeps whatever is selected).
    setFileMode(canChooseFiles ? QFileDialog::ExistingFiles : QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, !canChooseFiles);
    setDirectory(QDir::homePath());
    for (auto* view : findChildren<QAbstractItemView*>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void PathPanel::accept() {
    QStringList picked;
    for (const QString& path : selectedFiles()) {
        const QFileInfo info(path);
        if (!info.exists()) continue;
        if (!canChooseFiles_ && !info.isDir()) continue;
        picked.append(QDir::cleanPath(info.absoluteFilePath()));
    }
    if (picked.isEmpty()) return;
    chosen = picked;
    QDialog::accept();
}

// ---- SettingsView

SettingsView::SettingsView(Preferences& prefs, QWidget* parent)
    : SettingsView(prefs, Platform::LoginItemService::mainApp(), parent) {}

SettingsView::SettingsView(Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent)
    : QWidget(parent), prefs_(prefs), loginItem_(loginItem) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* column = new QWidget;
    column->setMaximumWidth(850);
    outer->addWidget(column);

    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(32, 24, 32, 28);
    v->setSpacing(18);
    v->addWidget(label(tr("Settings"), Theme::font(28, QFont::DemiBold, Theme::Design::rounded), Theme::text()));

    QList<SubTabs::Item> items;
    for (SettingsSection s : allSections) items.append({rawValue(s), title(s)});
    tabs_ = new SubTabs(items);
    connect(tabs_, &SubTabs::selectionRequested, this, [this](const QString& raw) {
        if (auto s = settingsSectionFromRawValue(raw)) setSection(*s);
    });
    v->addWidget(tabs_, 0, Qt::AlignLeft);

    panel_ = new Backdrop(paintSectionPanel);
    panelLayout_ = new QVBoxLayout(panel_);
    panelLayout_->setContentsMargins(0, 0, 0, 0);
    v->addWidget(panel_, 1);

    setSection(section_);
}

void SettingsView::setSection(SettingsSection section) {
    section_ = section;
    tabs_->setSelection(rawValue(section));
    delete sectionView_;
    switch (section) {
    case SettingsSection::general: sectionView_ = new GeneralSettings(prefs_, loginItem_); break;
    case SettingsSection::menuBar: sectionView_ = new MenuBarSettings(prefs_); break;
    case SettingsSection::protected_: sectionView_ = new PathListSettings(prefs_, PathList::protectedPaths); break;
    case SettingsSection::projects: sectionView_ = new PathListSettings(prefs_, PathList::projectRoots); break;
    }
    panelLayout_->addWidget(sectionView_);
}

void SettingsView::setPathPickerForTesting(PathPicker picker) { pickerOverride() = std::move(picker); }

// ---- GeneralSettings

GeneralSettings::GeneralSettings(Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent)
    : QWidget(parent), prefs_(prefs), loginItem_(loginItem) {
    auto* rows = new QWidget;
    auto* column = new QVBoxLayout(rows);
    column->setContentsMargins(6, 0, 6, 0);
    column->setSpacing(0);

    login_ = new Switch;
    const LoginSwitch initial = readLoginSwitch(loginItem_);
    column->addWidget(settingRow(tr("Open at login"), loginDetail_, SettingsLogic::loginDetail(initial.loginNeedsApproval), login_));
    showLogin(initial);
    connect(login_, &QAbstractButton::clicked, this, [this](bool on) { showLogin(flipLoginSwitch(on, loginItem_)); });
    column->addWidget(divider());

    QLabel* unused = nullptr;
    dryRun_ = new Switch;
    dryRun_->setCheckedImmediately(prefs_.dryRun());
    column->addWidget(settingRow(tr("Preview mode"), unused,
                                 tr("Scans run as usual, but nothing is deleted. Useful to see what Quelto would free."),
                                 dryRun_));
    connect(dryRun_, &QAbstractButton::clicked, this, [this](bool on) { prefs_.setDryRun(on); });
    column->addWidget(divider());

    alwaysTrash_ = new Switch;
    alwaysTrash_->setCheckedImmediately(prefs_.alwaysTrash());
    column->addWidget(settingRow(tr("Always use the Trash"), alwaysTrashDetail_,
                                 SettingsLogic::alwaysTrashDetail(prefs_.alwaysTrash()), alwaysTrash_));
    connect(alwaysTrash_, &QAbstractButton::clicked, this, [this](bool on) { prefs_.setAlwaysTrash(on); });
    column->addWidget(divider());

    sounds_ = new Switch;
    sounds_->setCheckedImmediately(prefs_.sounds());
    column->addWidget(settingRow(tr("Sound"), unused, tr("A soft, spacey sound when a clean is done."), sounds_));
    connect(sounds_, &QAbstractButton::clicked, this, [this](bool on) { prefs_.setSounds(on); });
    column->addWidget(divider());

    auto* daysControl = new QWidget;
    auto* dh = new QHBoxLayout(daysControl);
    dh->setContentsMargins(0, 0, 0, 0);
    dh->setSpacing(6);
    days_ = label({}, Theme::font(12, QFont::Medium, Theme::Design::monospaced), Theme::text());
    stepper_ = new Stepper;
    dh->addWidget(days_);
    dh->addWidget(stepper_);
    column->addWidget(settingRow(tr("Old projects"), unused,
                                 tr("Projects untouched for this long have their build files selected automatically."),
                                 daysControl));
    connect(stepper_, &Stepper::stepped, this, &GeneralSettings::step);
    showDays(prefs_.staleProjectDays());
    column->addWidget(divider());

    fdaButton_ = new PillButton(tr("Open Settings"), PillButtonStyle::Kind::secondary);
    column->addWidget(settingRow(tr("Full Disk Access"), fdaDetail_,
                                 SettingsLogic::fullDiskAccessDetail(Permissions::hasFullDiskAccess()), fdaButton_));
    connect(fdaButton_, &QPushButton::clicked, this, [] { Permissions::openFullDiskAccessSettings(); });

    // Other writers of the same settings (the menu-bar panel) show here at once.
    connect(&prefs_, &Preferences::dryRunChanged, dryRun_, [this](bool on) { dryRun_->setChecked(on); });
    connect(&prefs_, &Preferences::alwaysTrashChanged, this, [this](bool on) {
        alwaysTrash_->setChecked(on);
        alwaysTrashDetail_->setText(SettingsLogic::alwaysTrashDetail(on));
    });
    connect(&prefs_, &Preferences::soundsChanged, sounds_, [this](bool on) { sounds_->setChecked(on); });
    connect(&prefs_, &Preferences::staleProjectDaysChanged, this, &GeneralSettings::showDays);

    auto* card = Card::wrap(rows, 8);
    auto* content = new QWidget;
    auto* cv = new QVBoxLayout(content);
    cv->setContentsMargins(18, 18, 18, 18);
    cv->addWidget(card);
    cv->addStretch(1);
    auto* scroll = makeTransparentScrollArea(content, false);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(scroll);
}

void GeneralSettings::showEvent(QShowEvent*) {
    fdaDetail_->setText(SettingsLogic::fullDiskAccessDetail(Permissions::hasFullDiskAccess()));
}

void GeneralSettings::showLogin(const LoginSwitch& state) {
    login_->setChecked(state.launchAtLogin);
    loginDetail_->setText(SettingsLogic::loginDetail(state.loginNeedsApproval));
}

void GeneralSettings::showDays(int days) {
    days_->setText(staleDaysText(days));
    stepper_->setCanStep(days < staleDaysMaximum, days > staleDaysMinimum);
}

void GeneralSettings::step(int delta) {
    const int current = prefs_.staleProjectDays();
    int next = current + delta;
    // A stored value outside the range comes back into it at its near end.
    if (delta > 0) next = current >= staleDaysMaximum ? current : std::clamp(next, staleDaysMinimum, staleDaysMaximum);
    else next = current <= staleDaysMinimum ? current : std::clamp(next, staleDaysMinimum, staleDaysMaximum);
    if (next != current) prefs_.setStaleProjectDays(next);
}

// ---- MenuBarSettings

MenuBarSettings::MenuBarSettings(Preferences& prefs, QWidget* parent) : QWidget(parent), prefs_(prefs) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 22, 24, 22);
    v->setSpacing(8);
    auto* header = label(tr("Show in the menu bar"), Theme::font(13, QFont::DemiBold), Theme::text());
    header->setContentsMargins(4, 0, 0, 2);
    v->addWidget(header);

    auto* group = new Backdrop(paintFormGroup);
    auto* g = new QVBoxLayout(group);
    g->setContentsMargins(12, 2, 12, 2);
    g->setSpacing(0);
    bool first = true;
    for (MenuBarMetric metric : MenuBarMetrics::allCases) {
        if (!first) g->addWidget(divider());
        first = false;
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 7, 0, 7);
        h->setSpacing(10);
        auto* icon = new QLabel;
        icon->setPixmap(Symbols::pixmap(metricSymbol(metric), 16, Theme::secondary(), 1.0, devicePixelRatioF()));
        icon->setFixedSize(18, 18);
        icon->setAlignment(Qt::AlignCenter);
        h->addWidget(icon);
        h->addWidget(label(title(metric), Theme::font(13), Theme::text()), 1);
        auto* sw = new Switch;
        h->addWidget(sw);
        switches_.append(sw);
        connect(sw, &QAbstractButton::clicked, this, [this, metric](bool on) { toggleMetric(prefs_, metric, on); });
        g->addWidget(row);
    }
    v->addWidget(group);
    auto* footer = label(tr("With nothing ticked, Quelto shows just its icon. Click it for the full status panel."),
                         Theme::font(11), Theme::secondary());
    footer->setWordWrap(true);
    footer->setContentsMargins(4, 2, 0, 0);
    v->addWidget(footer);
    v->addStretch(1);

    for (int i = 0; i < switches_.size(); ++i)
        switches_[i]->setCheckedImmediately(prefs_.menuBarMetrics().contains(MenuBarMetrics::allCases[i]));
    connect(&prefs_, &Preferences::menuBarMetricsChanged, this, &MenuBarSettings::showMetrics);
}

void MenuBarSettings::showMetrics() {
    const auto chosen = prefs_.menuBarMetrics();
    for (int i = 0; i < switches_.size(); ++i) switches_[i]->setChecked(chosen.contains(MenuBarMetrics::allCases[i]));
}

Switch* MenuBarSettings::metricSwitch(MenuBarMetric metric) const { return switches_.value(static_cast<int>(metric)); }

// ---- PathListSettings

PathListSettings::PathListSettings(Preferences& prefs, PathList list, QWidget* parent)
    : QWidget(parent), prefs_(prefs), list_(list) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 20, 20, 20);
    v->setSpacing(14);
    auto* explain = label(explanation(list), Theme::font(13), Theme::secondary());
    explain->setWordWrap(true);
    v->addWidget(explain);

    listArea_ = new Backdrop(paintListArea);
    auto* areaLayout = new QVBoxLayout(listArea_);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    rows_ = new QWidget;
    rowsLayout_ = new QVBoxLayout(rows_);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(0);
    scroll_ = makeTransparentScrollArea(rows_, true);
    areaLayout->addWidget(scroll_);
    empty_ = label(tr("No folders added yet"), Theme::font(13), Theme::tertiary());
    empty_->setAlignment(Qt::AlignCenter);
    areaLayout->addWidget(empty_);
    v->addWidget(listArea_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    addButton_ = new BorderedButton(tr("Add folder…"), QStringLiteral("plus"));
    removeButton_ = new BorderedButton(tr("Remove"), QStringLiteral("minus"));
    buttons->addWidget(addButton_);
    buttons->addWidget(removeButton_);
    buttons->addStretch(1);
    v->addLayout(buttons);
    connect(addButton_, &QPushButton::clicked, this, &PathListSettings::add);
    connect(removeButton_, &QPushButton::clicked, this, &PathListSettings::removeSelection);

    auto changed = list_ == PathList::protectedPaths ? &Preferences::protectedPathsChanged : &Preferences::projectRootsChanged;
    connect(&prefs_, changed, this, &PathListSettings::rebuild);
    rebuild();
}

QStringList PathListSettings::shownRows() const { return paths(prefs_, list_); }

void PathListSettings::select(const QString& entry) {
    selection_ = entry;
    // Every button in the rows is a path row.
    for (auto* button : rows_->findChildren<QAbstractButton*>())
        static_cast<PathRow*>(button)->setSelected(button->text() == entry);
    removeButton_->setEnabled(true);
}

void PathListSettings::add() {
    const QStringList chosen = runPicker(canChooseFiles(list_), this);
    if (chosen.isEmpty()) return;
    addChosenPaths(prefs_, list_, chosen, pathToQString(Platform::Locations::home()));
}

void PathListSettings::removeSelection() {
    removeSelected(prefs_, list_, selection_);
    rebuild();
}

void PathListSettings::rebuild() {
    while (QLayoutItem* item = rowsLayout_->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->setParent(nullptr);
            w->deleteLater();
        }
        delete item;
    }
    const QStringList entries = paths(prefs_, list_);
    for (const QString& entry : entries) {
        auto* row = new PathRow(entry, selection_ && *selection_ == entry, listArea_, rows_);
        connect(row, &QAbstractButton::clicked, this, [this, entry] { select(entry); });
        rowsLayout_->addWidget(row);
        rowsLayout_->addWidget(divider(rows_));
    }
    rowsLayout_->addStretch(1);
    scroll_->setVisible(!entries.isEmpty());
    empty_->setVisible(entries.isEmpty());
    removeButton_->setEnabled(selection_.has_value());
}
