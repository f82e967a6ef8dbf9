#include "Models/Clean/SwallowFeed.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "Core/Clean/FileIcons.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/ReleaseElsewhere.h"
#include "Models/Kit/Sleep.h"
#include "Platform/FileOps.h"

namespace fs = std::filesystem;
using Platform::IconRef;

namespace {
constexpr double kTick = 0.3;
constexpr double kPoll = 0.05;
constexpr int kBatchesWhileWorking = 4;
// A run shows at most one icon per batch, so icons are made ahead for this many items only.
constexpr size_t kIconsAhead = 300;
constexpr int64_t kIconItemBytes = 50'000'000;

double seconds(Platform::MonotonicClock::Duration d) { return std::chrono::duration<double>(d).count(); }
}  // namespace

double SwallowFeed::flightTime(int64_t bytes) {
    const double t = (std::log10(static_cast<double>(std::max<int64_t>(bytes, 1))) - 3) / 7;
    return t < 0 ? 2.0 : 2.0 + 2.5 * std::min(t, 1.0);
}

namespace {
std::vector<const CleanItem*> pointers(const std::vector<CleanItem>& items) {
    std::vector<const CleanItem*> out;
    out.reserve(items.size());
    for (const auto& item : items) out.push_back(&item);
    return out;
}
}  // namespace

SwallowFeed::SwallowFeed(const std::vector<CleanItem>& items, bool ownIcons, QObject* parent)
    : SwallowFeed(pointers(items), ownIcons, parent) {}

SwallowFeed::SwallowFeed(const std::vector<const CleanItem*>& items, bool ownIcons, QObject* parent)
    : QObject(parent) {
    urls_.reserve(items.size());
    sizes_.reserve(items.size());
    for (const CleanItem* item : items) {
        urls_.push_back(item->url);
        sizes_.push_back(item->size);
        remaining_ += item->size;
    }

    std::set<std::string> seen;
    for (size_t i = 0; i < std::min(items.size(), kIconsAhead); ++i) {
        const fs::path url = urls_[i];
        if (!ownIcons) {
            auto o = FileIcons::owner(url);
            if (o.key.rfind("type:", 0) != 0 && seen.insert(o.key).second) {
                icons_.push_back(std::move(o.icon));
                continue;
            }
        }
        if (url.extension() == ".app" || Platform::FileOps::exists(url)) icons_.push_back(IconRef::file(url));
        else icons_.push_back(FileIcons::icon(url));
    }
}

SwallowFeed::SwallowFeed(const std::vector<IconRef>& icons, QObject* parent)
    : QObject(parent), sizes_(icons.size(), kIconItemBytes), icons_(icons), plainIcons_(true) {}

IconRef SwallowFeed::iconFor(int begin, int end) const {
    if (plainIcons_) return icons_[begin];
    // The largest item stands for the batch (the first of equals).
    int largest = begin;
    for (int i = begin + 1; i < end; ++i)
        if (sizes_[i] > sizes_[largest]) largest = i;
    if (static_cast<size_t>(largest) < icons_.size()) return icons_[largest];
    return FileIcons::icon(static_cast<size_t>(largest) < urls_.size() ? fs::path(urls_[largest]) : fs::path());
}

void SwallowFeed::setReachedCount(int count) { reached_ = std::max(reached_, std::clamp(count, 0, itemCount())); }

void SwallowFeed::reached(double fraction) {
    if (!(fraction > 0)) return;  // also NaN
    const auto n = std::llround(std::min(fraction, 1.0) * itemCount());
    setReachedCount(static_cast<int>(n));
}

void SwallowFeed::setRemaining(int64_t value) {
    if (assignIfChanged(remaining_, value)) emit remainingChanged(value);
}

void SwallowFeed::setSwallowed(double value) {
    if (assignIfChanged(swallowed_, value)) emit swallowedChanged(value);
}

QCoro::Task<> SwallowFeed::land(QPointer<SwallowFeed> feed, int64_t bytes, double increment, double after) {
    co_await Pacing::sleepSeconds(after);
    if (!feed) co_return;
    // A heavier batch released earlier can land after the run has already set 0.
    feed->setRemaining(std::max<int64_t>(feed->remaining_ - bytes, 0));
    feed->setSwallowed(std::min(feed->swallowed_ + increment, 1.0));
}

QCoro::Task<> SwallowFeed::run(double minimum) {
    QPointer<SwallowFeed> self(this);
    auto& clock = Platform::monotonicClock();
    // Pacing is measured on the monotonic clock, so a step of the wall clock can
    // neither stall nor rush a run; event starts stay wall-clock dates for drawing.
    const auto started = clock.now();
    std::optional<Platform::MonotonicClock::TimePoint> lastFlightEnds;

    double total = 0;
    for (int64_t s : sizes_) total += static_cast<double>(s);
    if (total <= 0) total = 1;
    const double count = sizes_.empty() ? 1.0 : static_cast<double>(sizes_.size());

    for (;;) {
        const auto now = clock.now();
        const int pending = reached_ - shown_;
        if (pending > 0) {
            int batches = kBatchesWhileWorking;
            if (finished_) {
                const double ticksLeft = (minimum - seconds(now - started)) / kTick;
                batches = std::max(static_cast<int>(std::clamp(ticksLeft, -1.0, 1e6)), 1);
            }
            const int take = std::max(static_cast<int>(std::ceil(static_cast<double>(pending) / batches)), 1);
            const int begin = shown_;
            shown_ += take;
            int64_t bytes = 0;
            for (int i = begin; i < shown_; ++i) bytes += sizes_[i];

            const TimePoint wallNow = Platform::clock().now();
            events_.push_back({shown_, iconFor(begin, shown_), bytes, wallNow, released_ * 2.399963 + 0.6});
            ++released_;
            const double flight = flightTime(bytes);
            lastFlightEnds = now + std::chrono::duration_cast<Platform::MonotonicClock::Duration>(
                                       std::chrono::duration<double>(flight));
            const double increment = static_cast<double>(bytes) * 0.5 / total + take * 0.5 / count;
            land(self, bytes, increment, 0.55 * flight);

            std::erase_if(events_, [&](const Event& e) {
                return e.start + std::chrono::duration_cast<TimePoint::duration>(
                                     std::chrono::duration<double>(flightTime(e.bytes) + 1.0)) < wallNow;
            });
            emit eventsChanged();
            co_await Pacing::sleepSeconds(kTick);
        } else if (!finished_) {
            co_await Pacing::sleepSeconds(kPoll);
        } else {
            if (lastFlightEnds && *lastFlightEnds > now) co_await Pacing::sleepUntil(*lastFlightEnds);
            if (self) {
                setRemaining(0);
                // Every item has flown: the feed lives on until the next scan, its items' paths need not.
                releaseElsewhere(std::exchange(urls_, {}));
            }
            co_return;
        }
        if (!self) co_return;
    }
}
