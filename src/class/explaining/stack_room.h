// Room for a few items on the stack, or for many on the heap: what is
// made for every file (its causes' keys, its lines' addresses) costs no
// memory of its own where the file is short, as most are.
#ifndef LABELGRADE_STACK_ROOM_H
#define LABELGRADE_STACK_ROOM_H

#include <array>
#include <cstddef>
#include <span>
#include <vector>

template <typename T, std::size_t onStack>
class StackRoom {
public:
    explicit StackRoom(std::size_t size) : heap_(size > onStack ? size : 0) {}
    StackRoom(const StackRoom&) = delete;
    StackRoom& operator=(const StackRoom&) = delete;

    // At least `size` items, each to be written before it is read.
    std::span<T> room() { return heap_.empty() ? std::span<T>(stack_) : std::span<T>(heap_); }

private:
    std::array<T, onStack> stack_;  // not set: each item is written before it is read
    std::vector<T> heap_;
};

#endif
