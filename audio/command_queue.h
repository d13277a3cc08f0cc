// A fixed-size queue between exactly one thread that puts and one that
// takes, over two atomic indices: neither ever waits for the other, and
// nothing is allocated after construction. Who puts and who takes may change
// only at a point both threads are ordered by (a handover through an atomic).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

template <typename T, size_t N>
class CommandQueue {
  static_assert(N > 0 && (N & (N - 1)) == 0, "the capacity is a power of two");

 public:
  static constexpr size_t kCapacity = N;

  // The putting thread's. False when full: the taker has fallen N behind.
  bool Push(const T& item) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == N) return false;
    items_[tail % N] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  // The taking thread's. False when empty.
  bool Pop(T& item) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    item = items_[head % N];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  std::array<T, N> items_{};
  // Apart, so the two threads do not share a cache line for their indices.
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};
