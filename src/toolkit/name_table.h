// Name tables: static arrays of {code, name} rows beside the decoder that uses them, and the one
// lookup every table shares. Rows are searched in order, so the first row of a code wins.
#pragma once

#include <cstddef>
#include <type_traits>

namespace orv {

template <typename Code>
struct CodeName {
  Code code;
  const char* name;
};

// The name of `code` in `table`, or `missing` when no row holds it.
template <typename Code, size_t N>
constexpr const char* LookUpName(const CodeName<Code> (&table)[N], std::type_identity_t<Code> code,
                                 const char* missing = "") {
  for (const CodeName<Code>& row : table) {
    if (row.code == code) return row.name;
  }
  return missing;
}

}  // namespace orv
