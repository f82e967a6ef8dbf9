#include "Views/Apps/StartupView.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStackedLayout>
#include <QToolTip>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <limits>

#include "Models/Apps/StartupModel.h"
#include "Models/Kit/QtBridge.h"
#include "Platform/Gui/FileManager.h"
#include "Platform/Gui/IconCache.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace fs = std::filesystem;

namespace {
QString tr(const char* text) { return QCoreApplication::translate("StartupView", text); }

constexpr int sectionSpacing = 18;
constexpr int spacing = 6;
constexpr int cardPadding = 11;
constexpr int iconSide = 28;
constexpr int rowSpacing = 12;
constexpr QSizeF switchSize(28, 16);
constexpr int unlimited = std::numeric_limits<int>::max();

using Section = StartupList::Section;
using Kind = StartupList::Target::Kind;

QString sectionTitle(Section s) {
    switch (s) {
    case Section::openAtLogin: return tr("Open at Login");
    case Section::background: return tr("Background App Activity");
    case Section::launchServices: return tr("Launch Services");
    }
    return {};
}

QString sectionDetail(Section s) {
    switch (s) {
    case Section::openAtLogin: return tr("Apps that open when you log in.");
    case Section::background:
        return tr("Apps allowed to run in the background. macOS only lets you switch these in System Settings.");
    case Section::launchServices:
        return tr("Helpers that launch at login or boot. Switching one off stops it now and next time.");
    }
    return {};
}

QString pillText(Kind kind) {
    switch (kind) {
    case Kind::removeLogin: return tr("Remove");
    case Kind::showBackground: return tr("Show");
    case Kind::changeBackground: return tr("Change…");
    default: return {};
    }
}

bool isApp(const std::string& path) { return path.ends_with(".app") || path.ends_with(".app/"); }

int up(double v) { return int(std::ceil(v)); }
}  // namespace

// ---- StartupList

StartupList::StartupList(StartupModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), reveal([](const fs::path& p) { Platform::FileManager::reveal(p); }), model_(model) {
    makeDrawnList(this, 24);
    fonts_.title = Theme::font(10.5, QFont::Bold);
    fonts_.title.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    fonts_.detail = Theme::font(11.5);
    fonts_.empty = Theme::font(12);
    fonts_.name = Theme::font(13, QFont::DemiBold);
    fonts_.mono = Theme::font(10.5, QFont::Normal, Theme::Design::monospaced);
    fonts_.rowError = Theme::font(11);
    pillHeight_ = up(PillButtonStyle::size({}).height());

    connect(&model_, &StartupModel::itemsChanged, this, [this] {
        syncKnobs();
        relayout();
    });
    for (auto signal : {&StartupModel::errorsChanged, &StartupModel::openAtLoginChanged,
                        &StartupModel::openAtLoginErrorChanged, &StartupModel::backgroundChanged,
                        &StartupModel::backgroundErrorChanged, &StartupModel::backgroundLoadedChanged})
        connect(&model_, signal, this, &StartupList::relayout);
    // These change how rows look, never where they are.
    connect(&model_, &StartupModel::switchingChanged, this, &StartupList::invalidate);
    connect(&model_, &StartupModel::loadingBackgroundChanged, this, [this] {
        syncSpinner();
        invalidate();
    });
    syncKnobs();
    relayout();
}

QRect StartupList::cardOf(const Block& b) const { return QRect(0, b.top, viewport()->width(), b.height); }

QRectF StartupList::controlRect(const Block& b, Kind kind) const {
    const QRect card = cardOf(b);
    const double right = card.right() + 1 - cardPadding, cy = card.top() + card.height() / 2.0;
    switch (kind) {
    case Kind::removeLogin:
    case Kind::changeBackground:
    case Kind::showBackground: {
        const double w = PillButtonStyle::size(pillText(kind)).width();
        return QRectF(right - w, cy - pillHeight_ / 2.0, w, pillHeight_);
    }
    case Kind::jobSwitch: return QRectF(QPointF(right - switchSize.width(), cy - switchSize.height() / 2), switchSize);
    case Kind::jobLock: {
        const double side = Symbols::sizeForFont(12);
        return QRectF(controlRect(b, Kind::jobSwitch).left() - 10 - side, cy - side / 2, side, side);
    }
    case Kind::jobCard: return card;
    case Kind::none: break;
    }
    return {};
}

int StartupList::jobTextWidth(const QRect& card) const {
    const double textLeft = card.left() + cardPadding + iconSide + rowSpacing;
    // The lock's place is kept on every row, so the texts of all rows end in one line.
    const double right = card.right() + 1 - cardPadding - switchSize.width() - 10 - Symbols::sizeForFont(12) - rowSpacing;
    return std::max(0, int(right - textLeft));
}

void StartupList::relayout() {
    const int width = viewport()->width();
    const QFontMetricsF title(fonts_.title), detail(fonts_.detail), empty(fonts_.empty), name(fonts_.name),
        mono(fonts_.mono), rowError(fonts_.rowError);
    const double chip = Chip::size(QStringLiteral("X")).height();
    const int loginHeight = up(2 * cardPadding + std::max({double(iconSide), name.height() + 2 + mono.height(),
                                                          double(pillHeight_)}));
    const int backgroundHeight = up(2 * cardPadding + std::max({double(iconSide), name.height(), chip, double(pillHeight_)}));
    const int jobBase = up(std::max(name.height(), chip) + 2 + mono.height());
    const int errorWidth = jobTextWidth(QRect(0, 0, width, 1));

    blocks_.clear();
    int y = 0;
    const auto add = [&](Block::Kind kind, Section s, int height, int index = -1) {
        blocks_.push_back({kind, s, index, y, height});
        y += height + spacing;
    };
    const auto textHeight = [&](const QString& text) {
        return up(wrappedLines(text, fonts_.detail, width, unlimited).size() * detail.lineSpacing());
    };
    const auto section = [&](Section s, const std::optional<QString>& error) {
        add(Block::Kind::title, s, up(title.height()));
        add(Block::Kind::detail, s, textHeight(sectionDetail(s)) + 2);
        if (error) add(Block::Kind::error, s, textHeight(*error));
    };
    const int emptyHeight = up(empty.height() + 8);

    section(Section::openAtLogin, model_.openAtLoginError());
    if (model_.openAtLogin().empty() && !model_.openAtLoginError()) add(Block::Kind::empty, Section::openAtLogin, emptyHeight);
    for (int i = 0; i < int(model_.openAtLogin().size()); ++i) add(Block::Kind::login, Section::openAtLogin, loginHeight, i);
    y += sectionSpacing - spacing;

    section(Section::background, model_.backgroundError());
    if (!model_.backgroundLoaded())
        add(Block::Kind::passwordCard, Section::background, up(2 * cardPadding + std::max(detail.height(), double(pillHeight_))));
    else if (model_.background().empty())
        add(Block::Kind::empty, Section::background, emptyHeight);
    for (int i = 0; i < int(model_.background().size()); ++i)
        add(Block::Kind::background, Section::background, backgroundHeight, i);
    y += sectionSpacing - spacing;

    section(Section::launchServices, std::nullopt);
    if (model_.items().empty()) add(Block::Kind::empty, Section::launchServices, emptyHeight);
    const auto& errors = model_.errors();
    for (int i = 0; i < int(model_.items().size()); ++i) {
        int text = jobBase;
        if (auto it = errors.find(model_.items()[i].plist); it != errors.end())
            text += up(2 + wrappedLines(it->second, fonts_.rowError, errorWidth, 2).size() * rowError.lineSpacing());
        add(Block::Kind::job, Section::launchServices, up(2 * cardPadding + std::max<double>(iconSide, text)), i);
    }
    setContentHeight(this, y - spacing);
    invalidate();
}

void StartupList::syncKnobs() {
    std::map<fs::path, bool> shown;
    for (const auto& item : model_.items()) {
        shown[item.plist] = item.enabled;
        const auto before = shownEnabled_.find(item.plist);
        if (before == shownEnabled_.end() || before->second == item.enabled) continue;
        // The knob slides on from where it is, even halfway through a slide.
        double from = before->second ? 1 : 0;
        if (const auto running = slides_.extract(item.plist)) {
            from = running.mapped()->currentValue().toDouble();
            running.mapped()->stop();
        }
        if (!isVisible()) continue;
        auto* slide = new QVariantAnimation(this);
        slide->setDuration(160);
        slide->setEasingCurve(QEasingCurve::OutCubic);
        slide->setStartValue(from);
        slide->setEndValue(item.enabled ? 1.0 : 0.0);
        connect(slide, &QVariantAnimation::valueChanged, this, &StartupList::invalidate);
        connect(slide, &QVariantAnimation::finished, this, [this, slide, path = item.plist] {
            if (auto it = slides_.find(path); it != slides_.end() && it->second == slide) slides_.erase(it);
        });
        slides_[item.plist] = slide;
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    }
    shownEnabled_ = std::move(shown);
    std::erase_if(slides_, [&](const auto& kv) {
        if (shownEnabled_.count(kv.first)) return false;
        kv.second->stop();
        return true;
    });
}

double StartupList::knob(int job) const {
    const auto& item = model_.items().at(size_t(job));
    const auto slide = slides_.find(item.plist);
    return slide != slides_.end() ? slide->second->currentValue().toDouble() : (item.enabled ? 1 : 0);
}

void StartupList::syncSpinner() {
    spin_.run(model_.loadingBackground() && isVisible());
}

const StartupList::Block* StartupList::blockAt(int y) const {
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), y, [](int v, const Block& b) { return v < b.top; });
    if (it == blocks_.begin()) return nullptr;
    --it;
    return y < it->top + it->height ? &*it : nullptr;
}

StartupList::Target StartupList::targetAt(QPoint pos) const {
    const QPoint at(pos.x(), pos.y() + verticalScrollBar()->value());
    const Block* b = blockAt(at.y());
    if (!b) return {};
    // Buttons take clicks a little around their capsule, like a finger-sized target.
    const auto hits = [&](Kind kind) { return controlRect(*b, kind).adjusted(-3, -3, 3, 3).contains(at); };
    switch (b->kind) {
    case Block::Kind::login:
        if (hits(Kind::removeLogin)) return {Kind::removeLogin, b->index};
        return {};
    case Block::Kind::passwordCard:
        if (hits(Kind::showBackground)) return {Kind::showBackground};
        return {};
    case Block::Kind::background:
        if (hits(Kind::changeBackground)) return {Kind::changeBackground, b->index};
        return {};
    case Block::Kind::job:
        if (hits(Kind::jobSwitch)) return {Kind::jobSwitch, b->index};
        if (model_.items().at(size_t(b->index)).scope == StartupItems::Scope::system && hits(Kind::jobLock))
            return {Kind::jobLock, b->index};
        if (cardOf(*b).contains(at)) return {Kind::jobCard, b->index};
        return {};
    default: return {};
    }
}

QRect StartupList::toViewport(const QRectF& r) const {
    return r.toAlignedRect().translated(0, -verticalScrollBar()->value());
}

QRect StartupList::rectOf(const Target& t) const {
    const auto row = [&](Block::Kind kind) {
        return std::find_if(blocks_.begin(), blocks_.end(),
                            [&](const Block& b) { return b.kind == kind && (t.index < 0 || b.index == t.index); });
    };
    Block::Kind kind = Block::Kind::job;
    if (t.kind == Kind::removeLogin) kind = Block::Kind::login;
    else if (t.kind == Kind::showBackground) kind = Block::Kind::passwordCard;
    else if (t.kind == Kind::changeBackground) kind = Block::Kind::background;
    else if (t.kind == Kind::none) return {};
    const auto b = row(kind);
    if (b == blocks_.end()) return {};
    if (t.kind == Kind::jobLock && model_.items().at(size_t(t.index)).scope != StartupItems::Scope::system) return {};
    return toViewport(controlRect(*b, t.kind));
}

QString StartupList::blockText(const Block& b) const {
    switch (b.kind) {
    case Block::Kind::title: return sectionTitle(b.section).toUpper();
    case Block::Kind::detail: return sectionDetail(b.section);
    case Block::Kind::error:
        return (b.section == Section::openAtLogin ? model_.openAtLoginError() : model_.backgroundError()).value_or(QString());
    case Block::Kind::empty:
        switch (b.section) {
        case Section::openAtLogin: return tr("Nothing opens at login.");
        case Section::background: return tr("No apps are running in the background.");
        case Section::launchServices: return tr("No launch services.");
        }
        return {};
    case Block::Kind::passwordCard: return tr("Reading this list needs your password once.");
    default: return {};
    }
}

QStringList StartupList::texts() const {
    QStringList out;
    for (const Block& b : blocks_) {
        switch (b.kind) {
        case Block::Kind::login: {
            const auto& item = model_.openAtLogin().at(size_t(b.index));
            out << toQString(item.name) << toQString(item.path) << pillText(Kind::removeLogin);
            break;
        }
        case Block::Kind::background: {
            const auto& item = model_.background().at(size_t(b.index));
            out << toQString(item.name) << (item.allowed ? tr("On") : tr("Off")) << pillText(Kind::changeBackground);
            break;
        }
        case Block::Kind::job: {
            const auto& item = model_.items().at(size_t(b.index));
            out << toQString(item.displayName()) << toQString(StartupItems::title(item.scope));
            if (item.running) out << tr("running");
            out << toQString(item.label);
            if (auto it = model_.errors().find(item.plist); it != model_.errors().end()) out << it->second;
            break;
        }
        case Block::Kind::passwordCard: out << blockText(b) << pillText(Kind::showBackground); break;
        default: out << blockText(b);
        }
    }
    return out;
}

QString StartupList::toolTipAt(QPoint pos) const {
    const Target t = targetAt(pos);
    switch (t.kind) {
    case Kind::removeLogin: return tr("Stop opening at login. The app itself stays installed.");
    case Kind::jobLock: return tr("Asks for your password");
    case Kind::jobCard:
    case Kind::jobSwitch: {
        const QString program = toQString(model_.items().at(size_t(t.index)).program);
        return program.isEmpty() ? QString() : plainToolTip(program);
    }
    default: return {};
    }
}

QMenu* StartupList::contextMenu(int job, QWidget* parent) {
    const StartupItems::Item item = model_.items().at(size_t(job));
    auto* menu = new QMenu(parent);
    menu->addAction(tr("Show in Finder"), menu, [this, path = item.plist] {
        if (reveal) reveal(path);
    });
    if (item.scope == StartupItems::Scope::user) {
        menu->addSeparator();
        menu->addAction(tr("Remove"), menu, [model = QPointer<StartupModel>(&model_), item] {
            if (model) model->remove(item);
        });
    }
    return menu;
}

void StartupList::act(const Target& t) {
    switch (t.kind) {
    case Kind::removeLogin: model_.removeFromLogin(model_.openAtLogin().at(size_t(t.index))); break;
    case Kind::showBackground: model_.loadBackground(); break;
    case Kind::changeBackground: StartupItems::openLoginItemsSettings(); break;
    case Kind::jobSwitch: model_.toggle(model_.items().at(size_t(t.index))); break;
    default: break;
    }
}

void StartupList::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const Target t = targetAt(e->position().toPoint());
    if (t.kind == Kind::jobCard || t.kind == Kind::jobLock) return;
    pressed_ = t;
    invalidate();
}

void StartupList::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const Target t = targetAt(e->position().toPoint());
    const Target pressed = pressed_;
    pressed_ = {};
    invalidate();
    if (t == pressed && t.kind != Kind::none) act(t);
}

void StartupList::mouseMoveEvent(QMouseEvent* e) {
    const Kind kind = targetAt(e->position().toPoint()).kind;
    const bool control = kind == Kind::removeLogin || kind == Kind::showBackground || kind == Kind::changeBackground ||
                         kind == Kind::jobSwitch;
    viewport()->setCursor(control ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void StartupList::contextMenuEvent(QContextMenuEvent* e) {
    const Target t = targetAt(e->pos());
    if (t.kind != Kind::jobCard && t.kind != Kind::jobSwitch && t.kind != Kind::jobLock) return;
    QMenu* menu = contextMenu(t.index, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

bool StartupList::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(e);
}

void StartupList::showEvent(QShowEvent* e) {
    QAbstractScrollArea::showEvent(e);
    syncSpinner();
}

void StartupList::hideEvent(QHideEvent* e) {
    QAbstractScrollArea::hideEvent(e);
    syncSpinner();
}

void StartupList::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    relayout();
}

void StartupList::scrollContentsBy(int, int) { invalidate(); }

void StartupList::invalidate() {
    ++generation_;
    viewport()->update();
}

void StartupList::paintEvent(QPaintEvent*) {
    // The sky moves behind the page many times a second; the rows do not.
    QPainter p(viewport());
    picture_.paint(p, viewport()->rect(), devicePixelRatioF(), generation_, [this](QPainter& on) { render(on); });
}

void StartupList::render(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    rowsPainted_ = 0;
    const int top = verticalScrollBar()->value();
    p.translate(0, -top);
    const int width = viewport()->width();
    const auto first = std::partition_point(blocks_.begin(), blocks_.end(),
                                            [top](const Block& b) { return b.top + b.height <= top; });
    for (auto b = first; b != blocks_.end() && b->top < top + viewport()->height(); ++b) {
        const QRect r(0, b->top, width, b->height);
        switch (b->kind) {
        case Block::Kind::title:
            p.setFont(fonts_.title);
            p.setPen(Theme::tertiary());
            p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, blockText(*b));
            break;
        case Block::Kind::detail:
        case Block::Kind::error: {
            p.setFont(fonts_.detail);
            p.setPen(b->kind == Block::Kind::error ? Theme::review() : Theme::secondary());
            const double line = QFontMetricsF(fonts_.detail).lineSpacing();
            double y = r.top();
            for (const QString& text : wrappedLines(blockText(*b), fonts_.detail, width, unlimited)) {
                p.drawText(QRectF(0, y, width, line), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
                y += line;
            }
            break;
        }
        case Block::Kind::empty:
            p.setFont(fonts_.empty);
            p.setPen(Theme::tertiary());
            p.drawText(r.adjusted(0, 4, 0, -4), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, blockText(*b));
            break;
        case Block::Kind::passwordCard: paintPasswordCard(p, *b); break;
        case Block::Kind::login: paintLogin(p, *b); break;
        case Block::Kind::background: paintBackground(p, *b); break;
        case Block::Kind::job: paintJob(p, *b); break;
        }
        if (b->index >= 0) ++rowsPainted_;
    }
}

void StartupList::paintPill(QPainter& p, const Block& b, Kind kind, const QString& text, bool enabled) {
    const bool down = pressed_.kind == kind && pressed_.index == (kind == Kind::showBackground ? -1 : b.index);
    PillButtonStyle{PillButtonStyle::Kind::secondary}.paint(p, controlRect(b, kind), text, enabled, down ? 1 : 0);
}

QRectF StartupList::paintCard(QPainter& p, const Block& b) {
    const QRect card = cardOf(b);
    CardModifier::paint(p, card);
    return QRectF(card.left() + cardPadding, card.top() + (card.height() - iconSide) / 2.0, iconSide, iconSide);
}

void StartupList::paintIcon(QPainter& p, const QRectF& box, const std::optional<fs::path>& appIcon) {
    if (appIcon) {
        IconCache::draw(p, box, *appIcon);
        return;
    }
    Symbols::paint(p, QStringLiteral("gearshape.2"), box.adjusted(5, 5, -5, -5), Theme::secondary(), 1.2);
}

void StartupList::paintPasswordCard(QPainter& p, const Block& b) {
    const QRect card = cardOf(b);
    CardModifier::paint(p, card);
    const QRectF show = controlRect(b, Kind::showBackground);
    const bool reading = model_.loadingBackground();
    double right = show.left() - 10;
    if (reading) {
        const QRectF spinner(right - Spinner::side, card.center().y() + 0.5 - Spinner::side / 2, Spinner::side, Spinner::side);
        Spinner::paint(p, spinner, Theme::secondary(), spin_.step());
        right = spinner.left() - 10;
    }
    const QFont font = Theme::font(12);
    p.setFont(font);
    p.setPen(Theme::secondary());
    const QRectF text(card.left() + cardPadding, card.top(), right - card.left() - cardPadding, card.height());
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetricsF(font).elidedText(blockText(b), Qt::ElideRight, text.width()));
    paintPill(p, b, Kind::showBackground, pillText(Kind::showBackground), !reading);
}

void StartupList::paintLogin(QPainter& p, const Block& b) {
    const auto& item = model_.openAtLogin().at(size_t(b.index));
    const QRectF icon = paintCard(p, b);
    const double cy = icon.center().y();
    IconCache::draw(p, icon, fs::path(item.path));
    const QRectF remove = controlRect(b, Kind::removeLogin);
    const double x = icon.right() + rowSpacing, w = std::max(0.0, remove.left() - rowSpacing - x);
    const QFontMetricsF name(fonts_.name), mono(fonts_.mono);
    const double y = cy - (name.height() + 2 + mono.height()) / 2;
    p.setFont(fonts_.name);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, y, w, name.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               name.elidedText(toQString(item.name), Qt::ElideRight, w));
    p.setFont(fonts_.mono);
    p.setPen(Theme::tertiary());
    p.drawText(QRectF(x, y + name.height() + 2, w, mono.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               mono.elidedText(toQString(item.path), Qt::ElideMiddle, w));
    paintPill(p, b, Kind::removeLogin, pillText(Kind::removeLogin), true);
}

void StartupList::paintBackground(QPainter& p, const Block& b) {
    const auto& item = model_.background().at(size_t(b.index));
    const QRect card = cardOf(b);
    const QRectF icon = paintCard(p, b);
    const double cy = icon.center().y();
    const bool app = item.bundlePath && isApp(*item.bundlePath);
    paintIcon(p, icon, app ? std::optional<fs::path>(*item.bundlePath) : std::nullopt);
    const QRectF change = controlRect(b, Kind::changeBackground);
    const QString state = item.allowed ? tr("On") : tr("Off");
    const QSizeF chip = Chip::size(state);
    const QPointF chipAt(change.left() - rowSpacing - chip.width(), cy - chip.height() / 2);
    Chip::paint(p, chipAt, state, item.allowed ? Theme::good() : Theme::tertiary());
    const double x = icon.right() + rowSpacing, w = std::max(0.0, chipAt.x() - rowSpacing - x);
    p.setFont(fonts_.name);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, card.top(), w, card.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetricsF(fonts_.name).elidedText(toQString(item.name), Qt::ElideRight, w));
    paintPill(p, b, Kind::changeBackground, pillText(Kind::changeBackground), true);
}

void StartupList::paintJob(QPainter& p, const Block& b) {
    const auto& item = model_.items().at(size_t(b.index));
    const QRect card = cardOf(b);
    const QRectF icon = paintCard(p, b);
    const double cy = icon.center().y();
    paintIcon(p, icon, item.appURL);

    const QFontMetricsF name(fonts_.name), mono(fonts_.mono), rowError(fonts_.rowError);
    const double chipHeight = Chip::size(QStringLiteral("X")).height();
    const double line = std::max(name.height(), chipHeight);
    const int w = jobTextWidth(card);
    const auto error = model_.errors().find(item.plist);
    const QStringList errorLines = error != model_.errors().end() ? wrappedLines(error->second, fonts_.rowError, w, 2) : QStringList();
    const double textHeight = line + 2 + mono.height() + (errorLines.isEmpty() ? 0 : 2 + errorLines.size() * rowError.lineSpacing());
    const double x = icon.right() + rowSpacing;
    double y = cy - textHeight / 2;

    const QString scope = toQString(StartupItems::title(item.scope));
    const QString running = tr("running");
    double chips = 6 + Chip::size(scope).width();
    if (item.running) chips += 6 + Chip::size(running).width();
    const QString shownName = name.elidedText(toQString(item.displayName()), Qt::ElideRight, std::max(0.0, w - chips));
    p.setFont(fonts_.name);
    p.setPen(Theme::text());
    p.drawText(QRectF(x, y, w, line), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownName);
    double chipX = x + name.horizontalAdvance(shownName) + 6;
    Chip::paint(p, QPointF(chipX, y + (line - chipHeight) / 2), scope, Theme::secondary());
    if (item.running) {
        chipX += Chip::size(scope).width() + 6;
        Chip::paint(p, QPointF(chipX, y + (line - chipHeight) / 2), running, Theme::good());
    }
    y += line + 2;
    p.setFont(fonts_.mono);
    p.setPen(Theme::tertiary());
    p.drawText(QRectF(x, y, w, mono.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               mono.elidedText(toQString(item.label), Qt::ElideMiddle, w));
    y += mono.height() + 2;
    p.setFont(fonts_.rowError);
    p.setPen(Theme::review());
    for (const QString& text : errorLines) {
        p.drawText(QRectF(x, y, w, rowError.lineSpacing()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        y += rowError.lineSpacing();
    }

    if (item.scope == StartupItems::Scope::system)
        Symbols::paint(p, QStringLiteral("lock.fill"), controlRect(b, Kind::jobLock), Theme::tertiary());
    const bool down = pressed_.kind == Kind::jobSwitch && pressed_.index == b.index;
    Switch::paint(p, controlRect(b, Kind::jobSwitch), knob(b.index), !model_.isSwitching(item.plist), down);
}

// ---- StartupView

StartupView::StartupView(StartupModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(plainLabel(tr("Starts on its own"), Theme::font(18, QFont::Bold), Theme::text()));
    auto* subtitle = plainLabel(tr("Everything that opens or runs by itself — the same lists as System Settings ▸ Login "
                                   "Items, plus launch services."),
                                Theme::font(12), Theme::secondary());
    subtitle->setWordWrap(true);
    texts->addWidget(subtitle);
    header->addLayout(texts, 1);
    auto* loginItems = new PillButton(tr("Login Items…"), PillButtonStyle::Kind::secondary);
    loginItems->setToolTip(tr("Apps that open at login are managed in System Settings"));
    header->addWidget(loginItems);
    auto* reload = new SymbolButton(QStringLiteral("arrow.clockwise"), 13);
    reload->setColor(Theme::secondary());
    header->addWidget(reload);
    column->addLayout(header);

    auto* body = new QWidget;
    body_ = new QStackedLayout(body);
    progress_ = new QWidget;
    auto* centred = new QVBoxLayout(progress_);
    auto* spinner = new SpinnerView(Theme::secondary());
    spinner->setFixedSize(28, 28);
    centred->addWidget(spinner, 0, Qt::AlignCenter);
    list_ = new StartupList(model_);
    body_->addWidget(progress_);
    body_->addWidget(list_);
    column->addWidget(body, 1);

    connect(loginItems, &QAbstractButton::clicked, this, [] { StartupItems::openLoginItemsSettings(); });
    connect(reload, &QAbstractButton::clicked, this, [this] { model_.load(); });
    connect(&model_, &StartupModel::loadingChanged, this, &StartupView::syncBody);
    connect(&model_, &StartupModel::itemsChanged, this, &StartupView::syncBody);
    syncBody();
}

bool StartupView::showsProgress() const { return body_->currentWidget() == progress_; }

void StartupView::syncBody() {
    body_->setCurrentWidget(model_.loading() && model_.items().empty() ? progress_ : list_);
}

void StartupView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!model_.loaded()) model_.load();
}
