#include "plugin/windows/framework_string.h"

#include <climits>
#include <cstring>

namespace plugin::windows {
namespace {

constexpr int kCharSize = sizeof(char16_t);
// The most characters a buffer may hold: its byte size, header and NUL included, fits an int.
constexpr std::size_t kMaxLength = (INT_MAX - sizeof(CStringData)) / kCharSize - 1;

long LoadRefs(CStringData* data) { return __atomic_load_n(&data->refs, __ATOMIC_ACQUIRE); }

void Release(CStringData* data) {
  if (LoadRefs(data) < 0) return;  // locked: its owner's alone
  if (__atomic_sub_fetch(&data->refs, 1, __ATOMIC_ACQ_REL) <= 0) {
    data->manager->table->Free(data->manager, data);
  }
}

void Fill(CStringData* data, WStringView text) {
  if (!text.empty()) std::memcpy(data->chars(), text.data(), text.size() * kCharSize);
  data->chars()[text.size()] = 0;
  data->length = static_cast<std::int32_t>(text.size());
}

CStringData* Allocate(StringManager* manager, WStringView text) {
  StringManager* clone = manager->table->Clone(manager);
  if (clone == nullptr) return nullptr;
  if (text.empty()) return clone->table->GetNilString(clone);
  CStringData* data = clone->table->Allocate(clone, static_cast<int>(text.size()), kCharSize);
  if (data != nullptr) Fill(data, text);
  return data;
}

}  // namespace

WString ReadString(const CStringW* text) {
  if (text == nullptr || text->chars == nullptr) return {};
  const std::int32_t length = text->data()->length;
  return length > 0 ? WString(text->chars, static_cast<std::size_t>(length)) : WString();
}

StringManager* ManagerOf(const CStringW* text) {
  return text != nullptr && text->chars != nullptr ? text->data()->manager : nullptr;
}

bool WriteString(CStringW& target, WStringView text) {
  if (target.chars == nullptr || text.size() > kMaxLength) return false;
  CStringData* data = target.data();
  const long refs = LoadRefs(data);
  const bool locked = refs < 0;
  if (text.empty()) {
    if (data->length == 0) return true;
    if (locked) {
      Fill(data, text);
      return true;
    }
    StringManager* manager = data->manager;
    CStringData* nil = manager->table->GetNilString(manager);
    Release(data);
    target.chars = nil->chars();
    return true;
  }
  const auto length = static_cast<std::int32_t>(text.size());
  // A buffer with no room at all is the nil string (or as good as one): never written into.
  const bool shared = !locked && (refs > 1 || data->allocLength <= 0);
  if (shared) {
    CStringData* fresh = Allocate(data->manager, text);
    if (fresh == nullptr) return false;
    Release(data);
    target.chars = fresh->chars();
    return true;
  }
  if (data->allocLength < length) {
    std::int64_t grown = data->allocLength + data->allocLength / 2;
    if (grown < length) grown = length;
    if (grown > static_cast<std::int64_t>(kMaxLength)) grown = length;
    CStringData* moved =
        data->manager->table->Reallocate(data->manager, data, static_cast<int>(grown), kCharSize);
    if (moved == nullptr) return false;
    data = moved;
    target.chars = data->chars();
  }
  Fill(data, text);
  return true;
}

CStringW MakeString(StringManager* manager, WStringView text) {
  CStringData* data =
      manager != nullptr && text.size() <= kMaxLength ? Allocate(manager, text) : nullptr;
  return CStringW{data != nullptr ? data->chars() : nullptr};
}

void ReleaseString(CStringW& text) {
  if (text.chars != nullptr) Release(text.data());
  text.chars = nullptr;
}

}  // namespace plugin::windows
