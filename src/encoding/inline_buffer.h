// CInlineBuffer: room for N elements inside the object and a heap array beyond that, so that
// short conversions (log messages, header values) need no heap allocation. The object owns
// its heap array and releases it when it ends or when a request fits inline again. One thread
// uses an object; it is not copyable.
#pragma once

#include <cstddef>
#include <memory>

template <class T, std::size_t N>
class CInlineBuffer {
 public:
  CInlineBuffer() = default;
  CInlineBuffer(const CInlineBuffer&) = delete;
  CInlineBuffer& operator=(const CInlineBuffer&) = delete;

  // Makes room for count elements: the inline array when count is at most N (any heap array
  // is released), otherwise a fresh zero-filled heap array. The previous content is not kept.
  // Throws std::bad_alloc, leaving the buffer as it was.
  T* Allocate(std::size_t count) {
    if (count <= N) {
      heap_.reset();
      capacity_ = N;
      return inline_;
    }
    heap_ = std::make_unique<T[]>(count);
    capacity_ = count;
    return heap_.get();
  }

  T* Get() noexcept { return heap_ ? heap_.get() : inline_; }
  bool IsInline() const noexcept { return !heap_; }
  std::size_t Capacity() const noexcept { return capacity_; }

 private:
  T inline_[N] = {};
  std::unique_ptr<T[]> heap_;
  std::size_t capacity_ = N;
};
