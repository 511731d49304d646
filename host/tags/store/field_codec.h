// Several texts as one string and back, for a request to the tag worker or its answer of more
// than one field (tags/store/isolated_worker.h): each field as its length in decimal, a colon,
// then its bytes, so that any byte may be in a field. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace host {

std::string PackFields(const std::vector<std::string>& fields);
// False when the string is not a packing of exactly `count` fields (a field's length running
// past the end, or a field more or less).
bool UnpackFields(const std::string& packed, std::size_t count, std::vector<std::string>& fields);

}  // namespace host
