#pragma once

// The allocator keeps what a large collection freed for its own reuse, so a list of
// tens of thousands of rows would stay resident after it went: this hands the free
// pages of every arena back to the system. It walks the heap, so it belongs on a
// worker thread, after a large release.
namespace Platform::Memory {
void giveBack();
}
