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

// A large collection that several hold, freed as above by whichever lets it go last.
template <class Collection>
std::shared_ptr<Collection> sharedReleasedElsewhere(Collection collection) {
    return std::shared_ptr<Collection>(new Collection(std::move(collection)), [](Collection* held) {
        releaseElsewhere(std::move(*held));
        delete held;
    });
}
