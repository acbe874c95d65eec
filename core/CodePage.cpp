#include "core/CodePage.h"

#include <cstring>

namespace qs {

size_t CodePage::LastCharStart(const std::string& text) const {
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) last = i;
  return last;
}

size_t CodePage::FindLastOf(const std::string& text, const char* chars) const {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (CharLength(text, i) == 1 && text[i] != '\0' && std::strchr(chars, text[i])) found = i;
  }
  return found;
}

size_t CodePage::FindFirstOf(const std::string& text, const char* chars) const {
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (CharLength(text, i) == 1 && text[i] != '\0' && std::strchr(chars, text[i])) return i;
  }
  return std::string::npos;
}

std::string UpperAscii(const std::string& text, CodePage cp) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); i += cp.CharLength(out, i)) {
    if (cp.CharLength(out, i) == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] -= 'a' - 'A';
  }
  return out;
}

}  // namespace qs
