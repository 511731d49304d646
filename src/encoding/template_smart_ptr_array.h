// CTemplateSmartPtrArray: an owning handle on an array of T (wide characters or bytes) that
// starts either empty or on a fixed buffer of its user, and can be replaced by a heap array of
// a needed size. It owns (and releases with array deletion) only arrays it allocated itself;
// a fixed buffer stays its user's. One thread uses an object; it is not copyable.
#pragma once

#include <cstddef>

template <class T>
class CTemplateSmartPtrArray {
 public:
  CTemplateSmartPtrArray() = default;
  // Points at the user's buffer, which it will never release.
  explicit CTemplateSmartPtrArray(T* fixed) noexcept : data_(fixed) {}
  virtual ~CTemplateSmartPtrArray() { Release(); }
  CTemplateSmartPtrArray(const CTemplateSmartPtrArray&) = delete;
  CTemplateSmartPtrArray& operator=(const CTemplateSmartPtrArray&) = delete;

  // Replaces the buffer by a fresh zero-filled heap array of count elements and releases the
  // previous one if it was owned. The previous content is not copied. Throws std::bad_alloc,
  // leaving the previous buffer in place.
  T* Grow(std::size_t count) {
    T* fresh = new T[count]();
    Release();
    data_ = fresh;
    owned_ = true;
    return fresh;
  }

  T* Get() const noexcept { return data_; }
  bool IsOwned() const noexcept { return owned_; }

 private:
  void Release() noexcept {
    if (data_ != nullptr && owned_) delete[] data_;
    data_ = nullptr;
    owned_ = false;
  }

  T* data_ = nullptr;
  bool owned_ = false;
};
