#include "Views/MenuBar/PanelSections.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Status/FanControl.h"
#include "Models/Status/Monitor.h"
#include "Models/Window/AppState.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/StatusFormat.h"
#include "Views/Status/StatusTexts.h"

// ---- PanelBattery

PanelBattery::PanelBattery(Monitor& monitor, QWidget* parent) : Card(padding, parent), monitor_(monitor) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = contentLayout();
    column->setSpacing(10);

    header_ = new QHBoxLayout;
    header_->setContentsMargins(0, 0, 0, 0);
    header_->addStretch(1);
    health_ = new Chip(QString(), Theme::secondary(), this);
    header_->addWidget(health_, 0, Qt::AlignVCenter);
    column->addLayout(header_);

    ringBox_ = new QWidget(this);
    ringRow_ = new QHBoxLayout(ringBox_);
    ringRow_->setContentsMargins(0, 0, 0, 0);
    ringRow_->setSpacing(8);
    chargeLine_ = new QWidget(this);
    auto* charge = new QHBoxLayout(chargeLine_);
    charge->setContentsMargins(0, 0, 0, 0);
    charge->setSpacing(8);
    charge_ = plainLabel(QString(), Theme::font(24, QFont::Bold), Theme::text(), chargeLine_);
    state_ = plainLabel(QString(), Theme::font(13, QFont::DemiBold), Theme::text(), chargeLine_);
    charge->addWidget(charge_, 0, Qt::AlignBaseline);
    charge->addWidget(state_, 0, Qt::AlignBaseline);
    line_ = new QHBoxLayout;
    line_->setContentsMargins(0, 0, 0, 0);
    line_->setSpacing(8);
    line_->addWidget(chargeLine_, 0, Qt::AlignVCenter);
    line_->addStretch(1);
    line_->addWidget(ringBox_, 0, Qt::AlignVCenter);
    column->addLayout(line_);
    ringLine_ = new QHBoxLayout;
    ringLine_->setContentsMargins(0, 0, 0, 0);
    ringLine_->addStretch(1);
    column->addLayout(ringLine_);

    topEnergy_ = new SymbolLabel(QStringLiteral("flame"), QString(), Theme::font(11.5), Theme::secondary(), this);
    column->addWidget(topEnergy_);

    connect(&monitor_, &Monitor::batteryChanged, this, &PanelBattery::sync);
    connect(&monitor_, &Monitor::accessoriesChanged, this, &PanelBattery::sync);
    connect(&monitor_, &Monitor::processesChanged, this, &PanelBattery::sync);
    sync();
}

QString PanelBattery::chargeText() const { return chargeLine_->isHidden() ? QString() : charge_->text(); }
QString PanelBattery::stateText() const { return chargeLine_->isHidden() ? QString() : state_->text(); }
QString PanelBattery::topEnergyText() const { return topEnergy_->isHidden() ? QString() : topEnergy_->text(); }
std::optional<QString> PanelBattery::healthText() const {
    return health_->isHidden() ? std::nullopt : std::optional<QString>(health_->text());
}

void PanelBattery::sync() {
    const std::optional<Sensors::Battery>& battery = monitor_.battery();
    setVisible(battery || !monitor_.accessories().empty());

    const bool charging = battery && battery->charging;
    if (!label_ || charging != charging_) {
        delete label_;
        charging_ = charging;
        label_ = new CardLabel(charging ? QStringLiteral("battery.100percent.bolt") : QStringLiteral("battery.75percent"),
                               tr("Battery"), Theme::secondary(), this);
        header_->insertWidget(0, label_, 0, Qt::AlignVCenter);
    }
    if (battery && battery->health) {
        health_->setText(tr("%1% health").arg(*battery->health));
    }
    health_->setVisible(battery && battery->health);

    chargeLine_->setVisible(battery.has_value());
    if (battery) {
        charge_->setText(QString::number(battery->percent) + QLatin1Char('%'));
        QString state = !battery->pluggedIn ? tr("On battery") : battery->charging ? tr("Charging") : tr("Plugged in");
        if (battery->pluggedIn && battery->adapterWatts)
            state += QStringLiteral("  ⚡%1W").arg(*battery->adapterWatts);
        state_->setText(state);
    }

    const std::vector<Sensors::Level>& accessories = monitor_.accessories();
    if (int(accessories.size()) != rings_.size()) {
        qDeleteAll(rings_);
        rings_.clear();
        for (size_t i = 0; i < accessories.size(); ++i) {
            auto* ring = new Ring(0, QString(), ringBox_);
            ringRow_->addWidget(ring, 0, Qt::AlignVCenter);
            rings_.append(ring);
        }
    }
    for (size_t i = 0; i < accessories.size(); ++i) {
        const QString name = toQString(accessories[i].name);
        Ring*& ring = rings_[int(i)];
        const QString symbol = MenuBarPanel::accessorySymbol(name);
        if (ring->symbol() != symbol) {
            // A ring's symbol is fixed: a renamed accessory gets a new one.
            auto* fresh = new Ring(0, symbol, ringBox_);
            ringRow_->replaceWidget(ring, fresh);
            delete ring;
            ring = fresh;
        }
        ring->setFraction(accessories[i].percent / 100.0);
        ring->setToolTip(plainToolTip(QStringLiteral("%1: %2%").arg(name).arg(accessories[i].percent)));
    }
    // A charger's wattage and three accessories are more than the panel's width holds.
    const int room = MenuBarPanel::width - 2 * MenuBarPanel::padding - 2 * padding;
    const int n = int(rings_.size());
    const int rings = n * Ring::side + std::max(n - 1, 0) * ringRow_->spacing();
    placeRings(!battery || chargeLine_->sizeHint().width() + line_->spacing() + rings <= room);

    const auto top = MenuBarPanel::topEnergy(monitor_.processes());
    if (top)
        topEnergy_->set(QStringLiteral("flame"),
                        tr("Top energy use: %1 · %2").arg(toQString(top->name)).arg(top->power, 0, 'f', 1),
                        Theme::secondary());
    topEnergy_->setVisible(top.has_value());
}

void PanelBattery::placeRings(bool beside) {
    if (beside == ringsBeside_) return;
    ringsBeside_ = beside;
    (beside ? ringLine_ : line_)->removeWidget(ringBox_);
    (beside ? line_ : ringLine_)->addWidget(ringBox_, 0, Qt::AlignVCenter);
}

// ---- PanelProcesses

namespace {
constexpr int memoryWidth = 70, cpuWidth = 48;
}

// The rows, drawn in one go: five rows of three columns.
class PanelProcesses::List : public QWidget {
public:
    explicit List(PanelProcesses* owner) : QWidget(owner), owner_(owner) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        const auto& rows = owner_->rows();
        const double rowHeight = double(listHeight) / 5;
        const QFont name = Theme::font(12, QFont::Medium), figure = Theme::font(11), busy = Theme::font(11, QFont::Bold);
        for (size_t i = 0; i < rows.size(); ++i) {
            const QRectF row(0, i * rowHeight, width(), rowHeight);
            const QRectF cpu(row.right() - cpuWidth, row.top(), cpuWidth, rowHeight);
            const QRectF memory(cpu.left() - memoryWidth, row.top(), memoryWidth, rowHeight);
            const QRectF title(row.left(), row.top(), memory.left() - 6, rowHeight);
            p.setFont(name);
            p.setPen(Theme::text());
            p.drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       QFontMetricsF(name).elidedText(toQString(rows[i].name), Qt::ElideRight, title.width()));
            p.setFont(figure);
            p.setPen(Theme::secondary());
            p.drawText(memory, Qt::AlignRight | Qt::AlignVCenter, toQString(formattedMemory(rows[i].memory)));
            const bool hot = rows[i].cpu > 50;
            p.setFont(hot ? busy : figure);
            p.setPen(hot ? Theme::text() : Theme::secondary());
            p.drawText(cpu, Qt::AlignRight | Qt::AlignVCenter, QString::number(rows[i].cpu, 'f', 1));
        }
    }

private:
    PanelProcesses* owner_;
};

PanelProcesses::PanelProcesses(Monitor& monitor, QWidget* parent) : Card(12, parent), monitor_(monitor) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = contentLayout();
    column->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(0);
    header->addWidget(new CardLabel(QStringLiteral("chart.bar"), tr("Top processes"), Theme::secondary(), this), 0,
                      Qt::AlignVCenter);
    header->addStretch(1);
    const QFont caption = Theme::font(10.5, QFont::DemiBold);
    for (const auto& [text, w] : {std::pair{tr("Memory"), memoryWidth}, std::pair{tr("% CPU"), cpuWidth}}) {
        QLabel* label = plainLabel(text, caption, Theme::tertiary(), this);
        label->setFixedWidth(w);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        header->addWidget(label, 0, Qt::AlignVCenter);
    }
    column->addLayout(header);

    list_ = new List(this);
    list_->setFixedHeight(listHeight);
    auto* stack = new QVBoxLayout(list_);
    stack->setContentsMargins(0, 0, 0, 0);
    spinner_ = new SpinnerView(Theme::secondary(), list_);
    stack->addWidget(spinner_, 0, Qt::AlignCenter);
    column->addWidget(list_);

    connect(&monitor_, &Monitor::processesChanged, this, &PanelProcesses::sync);
    sync();
}

void PanelProcesses::sync() {
    rows_ = MenuBarPanel::topProcesses(monitor_.processes());
    spinner_->setVisible(monitor_.processes().empty());
    list_->update();
}

// ---- PanelHeader

PanelHeader::PanelHeader(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 2, 4, 4);
    column->setSpacing(8);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    auto* sun = new QLabel(this);
    sun->setPixmap(Symbols::pixmap(QStringLiteral("sun.max"), Symbols::sizeForFont(18), Theme::good(), 1.0,
                                   devicePixelRatioF()));
    line->addWidget(sun, 0, Qt::AlignVCenter);
    score_ = new BaselineTexts({{QString(), Theme::font(26, QFont::Bold), Theme::text()},
                                {QString(), Theme::font(14, QFont::DemiBold), Theme::secondary()}},
                               8, this);
    line->addWidget(score_, 1, Qt::AlignVCenter);
    column->addLayout(line);
    chips_ = new ChipRow(Theme::secondary(), this);
    column->addWidget(chips_);
}

void PanelHeader::refresh(const Monitor& monitor, int score, int64_t memoryTotal) {
    score_->setText(0, QString::number(score));
    score_->setText(1, StatusFormat::healthWord(score));
    QStringList chips{monitor.chip(), toQString(formattedMemory(memoryTotal)), StatusFormat::system(monitor.system())};
    const QString up = StatusFormat::uptime(monitor.uptime(), 1);
    chips << (up.isEmpty() ? tr("up") : tr("up %1").arg(up));
    if (chips != chips_->texts()) chips_->setTexts(chips);
}

// ---- HeatFanControls

HeatFanControls::HeatFanControls(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(5);

    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    auto* fan = new QLabel(this);
    fan->setPixmap(Symbols::pixmap(QStringLiteral("fan.fill"), Symbols::sizeForFont(9), Theme::secondary(), 1.0,
                                   devicePixelRatioF()));
    speed_ = plainLabel(QString(), Theme::font(10.5, QFont::DemiBold), Theme::text(), this);
    spinner_ = new SpinnerView(Theme::secondary(), this);
    line->addStretch(1);
    line->addWidget(fan, 0, Qt::AlignVCenter);
    line->addWidget(speed_, 0, Qt::AlignVCenter);
    line->addWidget(plainLabel(tr("RPM"), Theme::font(9.5), Theme::secondary(), this), 0, Qt::AlignVCenter);
    line->addWidget(spinner_, 0, Qt::AlignVCenter);
    line->addStretch(1);
    column->addLayout(line);

    auto* modes = new QHBoxLayout;
    modes->setContentsMargins(0, 0, 0, 0);
    modes->setSpacing(3);
    modes->addStretch(1);
    for (FanPreset p : FanPresets::allCases) {
        auto* b = new FanModeButton(p, FanModeButton::Look::heat, this);
        buttons_[static_cast<size_t>(p)] = b;
        modes->addWidget(b, 0, Qt::AlignVCenter);
        connect(b, &QAbstractButton::clicked, this, [this, p] { state_.fanControl().choose(p); });
    }
    modes->addStretch(1);
    column->addLayout(modes);

    Monitor& monitor = state_.monitor();
    FanControl& control = state_.fanControl();
    connect(&monitor, &Monitor::fansChanged, this, &HeatFanControls::sync);
    connect(&monitor, &Monitor::fanControlAvailableChanged, this, &HeatFanControls::sync);
    connect(&control, &FanControl::presetChanged, this, &HeatFanControls::sync);
    connect(&control, &FanControl::busyChanged, this, &HeatFanControls::sync);
    connect(&control, &FanControl::errorChanged, this, &HeatFanControls::sync);
    sync();
}

QString HeatFanControls::speedText() const { return speed_->text(); }

void HeatFanControls::sync() {
    const Monitor& monitor = state_.monitor();
    const FanControl& control = state_.fanControl();
    // The fan card's reading of the same state: the speed, what each button may do.
    const auto shown = FanControlCard::content(monitor.fans(), monitor.fanControlAvailable(), control.preset(),
                                               control.busy(), control.error());
    speed_->setText(QString::number(shown.rpm));
    spinner_->setVisible(shown.spinner);
    FanControlCard::showButtons(shown, buttons_);
    for (FanPreset p : FanPresets::allCases)
        button(p)->setToolTip(plainToolTip(control.error().isEmpty() ? explanation(p) : control.error()));
}
