// A fixed-capacity table of strings numbered from 1; slot 0 is never used.
#pragma once

#include <array>
#include <string>

namespace qs {

template <int N>
using Slots = std::array<std::string, N + 1>;

}  // namespace qs
