// A string read and written through the file interfaces: whole files in
// memory for the codec's helpers, and logs and outputs in tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace qs {

// A string read as a file, and one written as a file.
class StringReader : public FileReader {
 public:
  explicit StringReader(std::string_view data) : data_(data) {}
  int64_t Read(void* buffer, size_t size) override {
    size_t n = std::min(size, data_.size());
    std::memcpy(buffer, data_.data(), n);
    data_.remove_prefix(n);
    return static_cast<int64_t>(n);
  }

 private:
  std::string_view data_;
};

class StringWriter : public FileWriter {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  bool Write(const void* data, size_t size) override {
    out_.append(static_cast<const char*>(data), size);
    return true;
  }
  bool Close() override { return true; }

 private:
  std::string& out_;
};

}  // namespace qs
