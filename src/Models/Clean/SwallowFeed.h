#pragma once
#include <QCoroTask>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Platform/Clock.h"
#include "Platform/IconRef.h"
#include "Platform/MonotonicClock.h"

// Paces the flight of a run's items into the black hole. The worker reports how
// far it got as a fraction of the items; the feed turns that into batches of
// flying icons, one every 0.3 s, counts the bytes down as batches land and grows
// `swallowed`. When the worker is fast it spreads the rest over the time left to
// a nominal minimum, and its run ends only after the last batch has flown, so the
// owner can await it before showing the result. Removes nothing, never fails.
//
// Owner's order: make the feed, start run(), feed the worker's progress to
// reached(), and when the worker returns setFinished(true) and
// setReachedCount(item count), then await the run. Main thread only.
class SwallowFeed : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 remaining READ remaining NOTIFY remainingChanged)
    Q_PROPERTY(double swallowed READ swallowed NOTIFY swallowedChanged)

public:
    using TimePoint = Platform::Clock::TimePoint;

    // One flying batch.
    struct Event {
        int id = 0;  // one past the index of the batch's last item; increasing
        Platform::IconRef icon;
        int64_t bytes = 0;
        TimePoint start;     // wall clock: when it was released
        double angle = 0;    // radians: where it comes in from
        bool operator==(const Event&) const = default;
    };

    // Seconds a batch flies: 2.0 for 1,000 bytes or less, 4.5 from 10^10 bytes on,
    // logarithmically between. It lands after 0.55 of that.
    static double flightTime(int64_t bytes);

    // A feed over findings: each owning application shows its icon once, on its
    // first finding, unless `ownIcons`, where every finding shows its own icon.
    SwallowFeed(const std::vector<CleanItem>& items, bool ownIcons, QObject* parent = nullptr);
    // The same over findings held elsewhere, which need not outlive the call.
    SwallowFeed(const std::vector<const CleanItem*>& items, bool ownIcons, QObject* parent = nullptr);
    // A feed over plain icons, each standing for one item of 50,000,000 bytes;
    // `remaining` starts at 0.
    explicit SwallowFeed(const std::vector<Platform::IconRef>& icons, QObject* parent = nullptr);

    // Batches released and not yet pruned, oldest first.
    const std::vector<Event>& events() const { return events_; }
    // Bytes not yet landed; never below 0.
    int64_t remaining() const { return remaining_; }
    // Visual progress, 0...1, grown by each landing.
    double swallowed() const { return swallowed_; }

    const std::vector<int64_t>& sizes() const { return sizes_; }
    // The icon that stands for the items [begin, end); the range is never empty.
    Platform::IconRef iconFor(int begin, int end) const;
    int itemCount() const { return static_cast<int>(sizes_.size()); }
    // Items the worker got through; only grows, never past the item count.
    int reachedCount() const { return reached_; }
    void setReachedCount(int count);
    int shown() const { return shown_; }
    int released() const { return released_; }
    bool finished() const { return finished_; }
    void setFinished(bool value) { finished_ = value; }

    // The worker got through this fraction of the items.
    void reached(double fraction);

    // Releases batches until every item has flown in; `minimum` is the run's
    // nominal length in seconds. Ends at once, doing nothing more, when the feed
    // is destroyed.
    QCoro::Task<> run(double minimum);

signals:
    void eventsChanged();
    void remainingChanged(qint64 value);
    void swallowedChanged(double value);

private:
    static QCoro::Task<> land(QPointer<SwallowFeed> feed, int64_t bytes, double increment, double after);
    void setRemaining(int64_t value);
    void setSwallowed(double value);

    std::vector<Event> events_;
    int64_t remaining_ = 0;
    double swallowed_ = 0;
    std::vector<int64_t> sizes_;
    std::vector<Platform::IconRef> icons_;  // made ahead, for the first items
    // Where the items lie, for the icons of the rest; let go when the run ends.
    std::vector<PathBytes> urls_;
    bool plainIcons_ = false;  // one icon per item, made by the owner
    int reached_ = 0;
    int shown_ = 0;
    bool finished_ = false;
    int released_ = 0;
};
