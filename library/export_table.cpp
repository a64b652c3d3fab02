// Holds include/tolvex32.h and the export table (include/tolvex32_exports.h)
// together at compile time: each row's export is declared with the row's
// result and parameters, and its argument bytes (the 32-bit stdcall
// decoration the .def gives the linker) are what those parameters take.
// The test beside it checks the other way: that the header declares no
// export the table lacks.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "include/tolvex32.h"

namespace tolvex {
namespace {

// The bytes the parameters of `Function` take on the 32-bit stack: one word
// each, as every parameter is a pointer or a 32-bit integer.
template <typename Function>
struct ArgumentBytes;

template <typename Result, typename... Parameters>
struct ArgumentBytes<Result(Parameters...)> {
  static_assert(((std::is_pointer_v<Parameters> || sizeof(Parameters) == 4) && ...),
                "an export takes only pointers and 32-bit integers");
  static constexpr int value = static_cast<int>(4 * sizeof...(Parameters));
};

#define TOLVEX_EXPORT_ROW(ordinal, name, argument_bytes, result, parameters)              \
  static_assert(std::is_same_v<decltype(&::name), result(TOLVEX_CALL*) parameters>,      \
                "tolvex32.h declares " #name " otherwise than the export table");        \
  static_assert(ArgumentBytes<result parameters>::value == (argument_bytes),              \
                "the export table gives " #name " other argument bytes than its parameters");
#include "include/tolvex32_exports.h"

struct Row {
  int ordinal;
  std::string_view name;
};
constexpr Row kRows[] = {
#define TOLVEX_EXPORT_ROW(ordinal, name, ...) {ordinal, #name},
#include "include/tolvex32_exports.h"
};

// Ordinals 1 to 45 run without a gap, the 45th is CallUpdate; the
// extension follows in rising order. An extension ordinal may stay free
// (one given out to a change not yet in this table), never be taken twice.
constexpr bool OrdinalsInOrder() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (i < 45 && kRows[i].ordinal != static_cast<int>(i) + 1) return false;
    if (i >= 45 && kRows[i].ordinal <= kRows[i - 1].ordinal) return false;
  }
  return std::size(kRows) >= 45 && kRows[44].name == "CallUpdate";
}
static_assert(OrdinalsInOrder(),
              "the export table's ordinals: 1 to 45 with CallUpdate the 45th, then rising");

}  // namespace
}  // namespace tolvex
