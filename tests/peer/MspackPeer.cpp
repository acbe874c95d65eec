// Our SZDD codec against independent implementations on Linux:
//
//   szdd_peer libmspack DIR        ours -> libmspack's msszdd decompressor
//   szdd_peer msexpand PROG DIR    ours -> Debian's msexpand
//   szdd_peer mscompress PROG DIR  Debian's mscompress -> ours, and our
//                                  output never larger than its
//   szdd_peer samples DIR          writes the inputs, for the Wine peer
//
// Each ends with a "N passed, N failed" line and exits non-zero on a failure.
#include <mspack.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/Szdd.h"
#include "tests/peer/PeerData.h"
#include "core/SzddFiles.h"

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(f.flush());
}

bool ReadFile(const std::string& path, std::string* data) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  *data = s.str();
  return true;
}

std::string Compressed(const qs::peer::Sample& sample) {
  auto name = qs::MakeSzddCompressedName(sample.name, qs::CodePage(1252));
  return qs::SzddCompress(sample.data, name ? name->missingChar : 0);
}

void WithLibmspack(const std::string& dir) {
  msszdd_decompressor* szdd = mspack_create_szdd_decompressor(nullptr);
  if (!szdd) {
    Check(false, "libmspack: no SZDD decompressor");
    return;
  }
  for (const auto& sample : qs::peer::PeerSamples(true)) {
    std::string in = dir + "/" + sample.name + ".szdd", out = dir + "/" + sample.name + ".out";
    std::string file = Compressed(sample), back;
    Check(WriteFile(in, file), "write " + in);
    msszddd_header* header = szdd->open(szdd, in.c_str());
    if (!header) {
      Check(false, sample.name + ": libmspack cannot open it (error " +
                       std::to_string(szdd->last_error(szdd)) + ")");
      continue;
    }
    Check(header->format == MSSZDD_FMT_NORMAL, sample.name + ": format");
    Check(header->length == static_cast<off_t>(sample.data.size()), sample.name + ": length");
    Check(header->missing_char == static_cast<char>(file[9]), sample.name + ": missing character");
    int err = szdd->extract(szdd, header, out.c_str());
    szdd->close(szdd, header);
    Check(err == MSPACK_ERR_OK, sample.name + ": libmspack error " + std::to_string(err));
    Check(ReadFile(out, &back) && back == sample.data, sample.name + ": libmspack output differs");
  }
  mspack_destroy_szdd_decompressor(szdd);
}

void WithMsexpand(const std::string& program, const std::string& dir) {
  for (const auto& sample : qs::peer::PeerSamples(true)) {
    std::string in = dir + "/" + sample.name + ".szdd", out = dir + "/" + sample.name + ".out";
    std::string back;
    Check(WriteFile(in, Compressed(sample)), "write " + in);
    std::string command = "'" + program + "' < '" + in + "' > '" + out + "'";
    Check(std::system(command.c_str()) == 0, sample.name + ": " + command);
    Check(ReadFile(out, &back) && back == sample.data, sample.name + ": msexpand output differs");
  }
}

void WithMscompress(const std::string& program, const std::string& dir) {
  // mscompress mangles files shorter than 16 bytes, so none are given to it.
  uint64_t theirs = 0, ours = 0;
  for (const auto& sample : qs::peer::PeerSamples(false)) {
    std::string in = dir + "/" + sample.name, made = in + "_", file;
    std::remove(made.c_str());
    Check(WriteFile(in, sample.data), "write " + in);
    std::string command = "'" + program + "' '" + in + "' > /dev/null";
    Check(std::system(command.c_str()) == 0, sample.name + ": " + command);
    if (!ReadFile(made, &file)) {
      Check(false, sample.name + ": mscompress made no " + made);
      continue;
    }
    auto back = qs::SzddExpand(file);
    Check(back && *back == sample.data, sample.name + ": our expansion differs");
    size_t mine = Compressed(sample).size();
    Check(mine <= file.size(), sample.name + ": ours " + std::to_string(mine) +
                                   " bytes, larger than mscompress's " + std::to_string(file.size()));
    std::printf("%-12s %8zu bytes: mscompress %8zu, ours %8zu (%.1f%%)\n", sample.name.c_str(),
                sample.data.size(), file.size(), mine, 100.0 * mine / file.size());
    theirs += file.size();
    ours += mine;
  }
  std::printf("all: mscompress %llu, ours %llu (%.1f%%)\n", static_cast<unsigned long long>(theirs),
              static_cast<unsigned long long>(ours), 100.0 * ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "libmspack" && argc == 3) {
    WithLibmspack(argv[2]);
  } else if (mode == "msexpand" && argc == 4) {
    WithMsexpand(argv[2], argv[3]);
  } else if (mode == "mscompress" && argc == 4) {
    WithMscompress(argv[2], argv[3]);
  } else if (mode == "samples" && argc == 3) {
    for (const auto& sample : qs::peer::PeerSamples(true)) {
      Check(WriteFile(std::string(argv[2]) + "/" + sample.name, sample.data), sample.name);
    }
  } else {
    std::fprintf(stderr, "usage: szdd_peer libmspack DIR | msexpand PROG DIR | mscompress PROG DIR | samples DIR\n");
    return 2;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
