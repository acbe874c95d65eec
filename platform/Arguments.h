// Splitting a command line into arguments, the way the program's runtime
// always did it: blanks (any byte up to the space) separate arguments,
// double quotes group blanks into one and are dropped, and an empty pair of
// quotes before an argument is skipped. Neither a blank nor a quote is ever
// the second byte of a double-byte character, so bytes are enough.
#pragma once

#include <string>

namespace qs {

// The argument that starts at or after p; p is left just behind it. Empty
// when the line has no more arguments.
std::string NextArgument(const char*& p);

}  // namespace qs
