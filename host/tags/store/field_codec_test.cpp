#include "tags/store/field_codec.h"

#include <gtest/gtest.h>

namespace host {
namespace {

// The worker's answers are read back field by field: any byte may be in a field, and a packing
// that is not exactly the fields asked for (one more, one less, a length past the end, a length
// that is not digits) is refused, not half read.
TEST(FieldCodec, FieldsComeBackExactlyOrNotAtAll) {
  const std::vector<std::string> fields = {"1", "", std::string("a:b\n\0c", 6), "12:"};
  const std::string packed = PackFields(fields);
  std::vector<std::string> back;
  ASSERT_TRUE(UnpackFields(packed, fields.size(), back));
  EXPECT_EQ(back, fields);
  struct Case {
    std::string packed;
    std::size_t count;
  };
  const Case refused[] = {
      {packed, fields.size() - 1},      // an extra field
      {packed, fields.size() + 1},      // one missing
      {packed + "1:x", fields.size()},  // more after the last
      {"5:abc", 1},                     // a length past the end
      {"x:abc", 1},                     // not a length
      {":abc", 1},                      // no length
      {"99999999999999:a", 1},          // a length no packing has
  };
  for (const Case& c : refused) {
    EXPECT_FALSE(UnpackFields(c.packed, c.count, back)) << c.packed << " as " << c.count;
  }
}

}  // namespace
}  // namespace host
