#include "platform/win32/Wide.h"

namespace qs::win32 {

Wide::Wide(const std::string& text) : text_(new wchar_t[text.size() + 1]) {
  size_ = Utf8ToUtf16(text, reinterpret_cast<char16_t*>(text_.get()));
  text_[size_] = L'\0';
}

}  // namespace qs::win32
