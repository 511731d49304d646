#include "os/windows/host_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace host {
namespace msabi = tunewell::msabi;
namespace {

#define MEMBER TUNEWELL_THISCALL

// The nil string: its count starts at one that is never given up, so it is never freed.
struct NilString {
  msabi::CStringData data;
  char16_t nul;
};
NilString nilString = {{nullptr, 0, 0, 1}, 0};

msabi::CStringData* MEMBER Allocate(msabi::StringManager* self, int nAllocLength, int nCharSize) {
  if (nAllocLength < 0 || nCharSize <= 0) return nullptr;
  const std::size_t bytes =
      sizeof(msabi::CStringData) + (static_cast<std::size_t>(nAllocLength) + 1) * nCharSize;
  auto* data = static_cast<msabi::CStringData*>(std::malloc(bytes));
  if (data == nullptr) return nullptr;
  *data = {self, 0, nAllocLength, 1};
  data->chars()[0] = 0;
  return data;
}

void MEMBER Free(msabi::StringManager*, msabi::CStringData* data) {
  if (data != &nilString.data) std::free(data);
}

msabi::CStringData* MEMBER Reallocate(msabi::StringManager*, msabi::CStringData* data,
                                      int nAllocLength, int nCharSize) {
  if (nAllocLength < 0 || nCharSize <= 0 || data == &nilString.data) return nullptr;
  const std::size_t bytes =
      sizeof(msabi::CStringData) + (static_cast<std::size_t>(nAllocLength) + 1) * nCharSize;
  auto* moved = static_cast<msabi::CStringData*>(std::realloc(data, bytes));
  if (moved != nullptr) moved->allocLength = nAllocLength;
  return moved;
}

msabi::CStringData* MEMBER GetNilString(msabi::StringManager*) {
  __atomic_add_fetch(&nilString.data.refs, 1, __ATOMIC_ACQ_REL);
  return &nilString.data;
}

msabi::StringManager* MEMBER Clone(msabi::StringManager* self) { return self; }

#undef MEMBER

constexpr msabi::StringManagerTable kManagerTable = {Allocate, Free, Reallocate, GetNilString,
                                                     Clone};
msabi::StringManager manager = {&kManagerTable};

void Release(msabi::CStringData* data) {
  if (__atomic_load_n(&data->refs, __ATOMIC_ACQUIRE) < 0) return;
  if (__atomic_sub_fetch(&data->refs, 1, __ATOMIC_ACQ_REL) <= 0) {
    data->manager->table->Free(data->manager, data);
  }
}

msabi::CStringData* Make(WStringView text) {
  if (text.empty()) return GetNilString(&manager);
  msabi::CStringData* data = Allocate(&manager, static_cast<int>(text.size()), sizeof(char16_t));
  if (data == nullptr) return nullptr;
  std::memcpy(data->chars(), text.data(), text.size() * sizeof(char16_t));
  data->chars()[text.size()] = 0;
  data->length = static_cast<std::int32_t>(text.size());
  return data;
}

}  // namespace

msabi::StringManager* HostStringManager() {
  nilString.data.manager = &manager;
  return &manager;
}

WString ReadHostString(const msabi::CStringW* text) {
  if (text == nullptr || text->chars == nullptr || text->data()->length <= 0) return {};
  return WString(text->chars, static_cast<std::size_t>(text->data()->length));
}

bool AssignHostString(msabi::CStringW& target, WStringView text) {
  HostStringManager();
  msabi::CStringData* data = Make(text);
  if (data == nullptr) return false;
  if (target.chars != nullptr) Release(target.data());
  target.chars = data->chars();
  return true;
}

HostString::HostString() : text_{nullptr} {
  HostStringManager();
  text_.chars = GetNilString(&manager)->chars();
}

HostString::HostString(WStringView text) : text_{nullptr} {
  if (!AssignHostString(text_, text)) throw std::bad_alloc();
}

HostString::~HostString() {
  if (text_.chars != nullptr) Release(text_.data());
}

}  // namespace host
