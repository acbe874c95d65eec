#include "platform/Arguments.h"

namespace qs {

std::string NextArgument(const char*& p) {
  for (;;) {
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    if (p[0] == '"' && p[1] == '"') {
      p += 2;
    } else {
      break;
    }
  }
  std::string arg;
  while (static_cast<unsigned char>(*p) > ' ') {
    if (*p == '"') {
      ++p;
      while (*p && *p != '"') arg += *p++;
      if (*p) ++p;
    } else {
      arg += *p++;
    }
  }
  return arg;
}

}  // namespace qs
