#pragma once
#include <QThreadPool>

#include <cstddef>
#include <memory>
#include <utility>

#include "Platform/Memory.h"

// Frees a large collection on a worker thread: tens of thousands of paths take the
// window's thread tens of milliseconds to free, and what they held is then handed
// back to the system. A small one is freed here.
template <class Collection>
void releaseElsewhere(Collection collection, std::size_t smallest = 4096) {
    if (collection.size() < smallest) return;
    auto held = std::make_shared<Collection>(std::move(collection));
    QThreadPool::globalInstance()->start([held] {
        { Collection gone = std::move(*held); }
        Platform::Memory::giveBack();
    });
}

// The same for a large collection others may hold too: freed on a worker when this
// was the last hold on it.
template <class Held>
void releaseElsewhere(std::shared_ptr<Held> held, std::size_t smallest = 4096) {
    if (!held || held->size() < smallest) return;
    QThreadPool::globalInstance()->start([held = std::move(held)]() mutable {
        if (held.use_count() > 1) return;
        held.reset();
        Platform::Memory::giveBack();
    });
}
