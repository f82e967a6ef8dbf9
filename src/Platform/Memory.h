#pragma once

// The allocator keeps what a large collection freed for its own reuse, so a list of
// tens of thousands of rows would stay resident after it went.
namespace Platform::Memory {
// Hands the free pages of every arena back to the system. It walks the heap, so it
// belongs on a worker thread, after a large release.
void giveBack();
// From now on large blocks are mapped on their own and given back when freed, and a
// thread's heap hands back its free end: by default the allocator raises both limits
// after the first large block is freed, and the free end of a worker thread's heap is
// never trimmed, even by giveBack(). Called once, first thing in a process.
void giveBackAsFreed();
}  // namespace Platform::Memory
