// setupkit: the packager's tool for the files of an installation source.
//
//   setupkit compress FILE... [-d DIR] [--force]
//   setupkit expand FILE... [-d DIR] [--force]
//   setupkit info FILE...
//   setupkit check [DIR | SETUP.INI] [--format text|json] [layout options]
//   setupkit plan [DIR] [--format text|json] [layout options]
//   setupkit pack SRC -o OUT [--setup-exe PATH | --no-setup-exe] [--force]
//   setupkit bundle DIR -o FILE [--force] [--no-filter]
//   setupkit extract BUNDLE -d DIR
//   setupkit --version
//
// Plain C stdio and the standard library's file system, so the same source
// builds for Linux and as a Windows console program; the codec and its
// streaming loops, the definition file's readers and the runs are the ones
// SETUP.EXE uses (check and plan run them on the in-memory Windows).
#include <cerrno>
#include <cinttypes>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/CodePage.h"
#include "core/Szdd.h"
#include "core/SzddStream.h"
#include "tools/setupkit/Bundle.h"
#include "tools/setupkit/Check.h"
#include "tools/setupkit/Pack.h"
#include "tools/setupkit/Plan.h"
#include "tools/setupkit/Text.h"


namespace {

using qs::CodePage;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kNotCompressed = 3 };

constexpr size_t kChunk = 1 << 16;

const char kMainHelp[] =
    "usage: setupkit COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Commands:\n"
    "  compress   make SZDD files (NAME.EX_) as COMPRESS.EXE -r does\n"
    "  expand     expand SZDD files to their original names\n"
    "  info       show the header of SZDD files, or a bundle's contents\n"
    "  check      find the mistakes in a product folder that SETUP.EXE passes over\n"
    "  plan       show every step an installation and its uninstall would make\n"
    "  pack       build a product folder from a source tree\n"
    "  bundle     make one SETUP.EXE holding a product folder\n"
    "  extract    unpack a one-file SETUP.EXE into a folder\n"
    "\n"
    "'setupkit COMMAND --help' tells more; 'setupkit --version' the version.\n";

const char kCompressHelp[] =
    "usage: setupkit compress FILE... [-d DIR] [--force]\n"
    "\n"
    "Writes each FILE compressed (SZDD, mode A) beside it or into DIR. The last\n"
    "character of the extension becomes '_' and is kept in the header: MANUAL.TXT\n"
    "gives MANUAL.TX_, A.B gives A._; a name without an extension gets '._'.\n"
    "\n"
    "  -d DIR    write into DIR instead of beside each file\n"
    "  --force   replace output files that exist\n"
    "\n"
    "Two files that would give the same output name are refused: the second is\n"
    "not written, whatever --force says. A file that compressing makes bigger is\n"
    "named in a note.\n"
    "\n"
    "Exit status: 0 when every file was compressed, 1 when one failed (missing\n"
    "file, output exists, a name already ending in '_', an output name taken by\n"
    "an earlier file), 2 on a usage error.\n";

const char kExpandHelp[] =
    "usage: setupkit expand FILE... [-d DIR] [--force]\n"
    "\n"
    "Expands each SZDD FILE under the name it was compressed from, beside it or\n"
    "into DIR: the final '_' after a dot becomes the character kept in the\n"
    "header, in the case of the name's last letter. A trailing dot is dropped\n"
    "(README._ gives README), as Windows drops it.\n"
    "A file that is not SZDD is copied unchanged, as the LZ API does (only into\n"
    "another folder, since its name stays the same).\n"
    "\n"
    "  -d DIR    write into DIR instead of beside each file\n"
    "  --force   replace output files that exist\n"
    "\n"
    "Exit status: 0 when every file was expanded, 1 when one failed (missing\n"
    "file, unknown mode, output exists), 3 when some were not SZDD files and\n"
    "were copied unchanged, 2 on a usage error.\n";

const char kInfoHelp[] =
    "usage: setupkit info FILE...\n"
    "\n"
    "Shows the header of each SZDD FILE: mode, the character kept from the\n"
    "name, the expanded name, the stored and the actual expanded length.\n"
    "Of a one-file SETUP.EXE (setupkit bundle) it lists the files inside, after\n"
    "checking its digest.\n"
    "\n"
    "Exit status: 0 when every file is SZDD or a sound bundle, 1 when one is\n"
    "missing, of an unknown mode, or a damaged bundle, 3 when some are neither,\n"
    "2 on a usage error.\n";

const char kBundleHelp[] =
    "usage: setupkit bundle DIR -o FILE [--force] [--no-filter]\n"
    "\n"
    "Makes FILE, one SETUP.EXE that holds the packed product folder DIR: the\n"
    "folder's SETUP.EXE (without its signature, if it has one) as the program,\n"
    "then every file of DIR, SETUP.EXE included byte for byte, compressed with\n"
    "LZMA as one stream, with a SHA-256 digest. Started, FILE unpacks itself\n"
    "into its working folder and installs from there. Sign FILE afterwards\n"
    "(osslsigncode sign, or signtool); the signature covers the files inside.\n"
    "Names are taken as UTF-8, or Shift-JIS where they are not UTF-8.\n"
    "\n"
    "  -o FILE      the bundle to write\n"
    "  --force      replace FILE when it exists\n"
    "  --no-filter  no x86 branch converter before compressing programs\n"
    "\n"
    "Exit status: 0 made, 1 not made (no SETUP.EXE, a name the program\n"
    "would refuse, a link, a read or write error), 2 on a usage error.\n";

const char kExtractHelp[] =
    "usage: setupkit extract BUNDLE -d DIR\n"
    "\n"
    "Unpacks the files of a one-file SETUP.EXE into DIR (made when missing) as\n"
    "the program does at start-up: the digest and every name are checked\n"
    "first, existing files are never replaced.\n"
    "\n"
    "Exit status: 0 unpacked, 1 damaged or refused bundle, or a file that\n"
    "could not be written, 3 not a bundle, 2 on a usage error.\n";

const char kCheckHelp[] =
    "usage: setupkit check [DIR | SETUP.INI] [--format text|json] [OPTIONS]\n"
    "\n"
    "Reads the definition file as SETUP.EXE does (Shift-JIS, profile rules),\n"
    "installs the product in a dry run, and prints one line per finding:\n"
    "FILE:LINE: error|warning: text. DIR defaults to the current folder.\n"
    "\n"
    "  --format json   one JSON document instead, for build scripts\n"
    "\n"
    "Exit status: 0 clean, 1 findings (the JSON counts errors and warnings),\n"
    "2 a bad command line, 3 no product to check (no folder, no SETUP.INI).\n"
    "\n";

const char kPlanHelp[] =
    "usage: setupkit plan [DIR] [OPTIONS]\n"
    "\n"
    "A dry run: installs the product in DIR (default: the current folder) on an\n"
    "in-memory Windows with SETUP.EXE's own code and prints, in order, every\n"
    "folder, file (source, size, expanded or not), shortcut, registry value, the\n"
    "uninstaller copy, the record with its text and the registration; then what\n"
    "an uninstall from that record removes.\n"
    "\n"
    "  --format json   one JSON document instead, for build scripts\n"
    "\n"
    "Exit status: 0 when the installation completes, 1 when it stops or ends\n"
    "with an error report, 2 a bad command line, 3 no SETUP.INI.\n"
    "\n";

const char kPackHelp[] =
    "usage: setupkit pack SRC -o OUT [--setup-exe PATH | --no-setup-exe] [--force]\n"
    "                     [OPTIONS]\n"
    "\n"
    "Builds the product folder OUT from the source tree SRC with exactly what the\n"
    "definition uses: SETUP.INI and the readme it names (UTF-8 or Shift-JIS in\n"
    "SRC) written with CR LF, in Shift-JIS when every character fits and else in\n"
    "UTF-8 with a byte-order mark; the file of each [CopyFile] entry (the one\n"
    "directly in SRC, else the one in a sub-folder; a name ending in '_' is\n"
    "made by compressing its original, found anywhere in SRC); SETUP.EXE.\n"
    "Nothing else is copied. Then check runs on OUT; with errors OUT is not\n"
    "written.\n"
    "\n"
    "  --setup-exe PATH  the SETUP.EXE to ship (default: the one beside setupkit,\n"
    "                    else the one in SRC)\n"
    "  --no-setup-exe    pack without SETUP.EXE (refused otherwise)\n"
    "  --force           replace OUT when it is not empty\n"
    "\n"
    "Refused: no SETUP.EXE, a source that is no text (file, line, column and\n"
    "bytes), two originals that could be the file an entry names, errors.\n"
    "\n"
    "Exit status: 0 built, 1 built with warnings, 2 a bad command line, 3 not\n"
    "built (the reason is printed).\n"
    "\n";
#ifdef _WIN32
// The system's ANSI code page, the one file names are in: the C runtime's
// locale of the user's settings names it after its dot ("Japanese_Japan.932").
// Taking that locale also makes the file system convert names by it.
uint32_t AnsiCodePage() {
  const char* name = std::setlocale(LC_CTYPE, "");
  const char* dot = name ? std::strrchr(name, '.') : nullptr;
  if (!dot) return 1252;
  if (std::strcmp(dot + 1, "utf8") == 0 || std::strcmp(dot + 1, "UTF-8") == 0) return 65001;
  return static_cast<uint32_t>(std::strtoul(dot + 1, nullptr, 10));
}
#endif

CodePage NameCodePage() {
#ifdef _WIN32
  static const CodePage cp(AnsiCodePage());
  return cp;
#else
  return CodePage(65001);  // UTF-8 names: no double-byte characters to step over
#endif
}

const char* Separators() {
#ifdef _WIN32
  return "\\/:";
#else
  return "/";
#endif
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

bool Exists(const std::string& path) { return OpenFile(path, "rb") != nullptr; }

// An open file as the codec's streaming loops read it.
class Input : public qs::FileReader {
 public:
  explicit Input(std::FILE* file) : file_(file) {}
  int64_t Read(void* buffer, size_t size) override {
    size_t got = std::fread(buffer, 1, size, file_);
    return std::ferror(file_) ? -1 : static_cast<int64_t>(got);
  }

 private:
  std::FILE* file_;
};

std::string FolderOf(const std::string& path) {
  size_t sep = NameCodePage().FindLastOf(path, Separators());
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string NameOf(const std::string& path) { return path.substr(FolderOf(path).size()); }

std::string InFolder(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  size_t last = NameCodePage().LastCharStart(dir);
  bool ends = NameCodePage().CharLength(dir, last) == 1 &&
              std::strchr(Separators(), dir[last]) != nullptr;
#ifdef _WIN32
  return ends ? dir + name : dir + "\\" + name;
#else
  return ends ? dir + name : dir + "/" + name;
#endif
}

// Replaces target with the finished temporary file.
bool Commit(const std::string& temp, const std::string& target) {
  std::error_code error;
  std::filesystem::rename(temp, target, error);
  return !error;
}

// Written to NAME.setupkit-tmp beside the target, renamed at the end, so a
// failure never leaves a partial file under the real name.
class Output : public qs::FileWriter {
 public:
  explicit Output(std::string target) : target_(std::move(target)), temp_(target_ + ".setupkit-tmp") {}
  ~Output() override {
    if (file_) {
      file_.reset();
      std::remove(temp_.c_str());
    }
  }
  bool Open() { return (file_ = OpenFile(temp_, "wb")) != nullptr; }
  bool Write(const void* data, size_t size) override {
    return size == 0 || std::fwrite(data, 1, size, file_.get()) == size;
  }
  bool Close() override { return Finish(); }
  bool Rewind() { return std::fseek(file_.get(), 0, SEEK_SET) == 0; }
  bool Finish() {
    bool ok = std::fflush(file_.get()) == 0 && !std::ferror(file_.get());
    ok = std::fclose(file_.release()) == 0 && ok;
    if (ok && Commit(temp_, target_)) return true;
    std::remove(temp_.c_str());
    return false;
  }

 private:
  std::string target_, temp_;
  File file_;
};

// Opens the output unless the target exists and --force was not given; says
// why when it does not.
bool OpenOutput(Output& out, const std::string& target, bool force) {
  if (!force && Exists(target)) {
    std::fprintf(stderr, "setupkit: %s exists; use --force to replace it\n", target.c_str());
    return false;
  }
  if (!out.Open()) {
    std::fprintf(stderr, "setupkit: cannot create %s: %s\n", target.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

std::string Ratio(uint64_t part, uint64_t whole) {
  char text[32];
  if (whole == 0) return "-";
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

struct Options {
  std::vector<std::string> files;
  std::string dir;
  bool force = false;
  bool help = false;
};

bool ParseOptions(int argc, char** argv, bool allowOutput, Options* options) {
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (allowOutput && arg == "--force") {
      options->force = true;
    } else if (allowOutput && arg == "-d") {
      if (++i == argc) {
        std::fprintf(stderr, "setupkit: -d needs a folder\n");
        return false;
      }
      options->dir = argv[i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "setupkit: unknown option %s\n", arg.c_str());
      return false;
    } else {
      options->files.push_back(arg);
    }
  }
  if (options->files.empty() && !options->help) {
    std::fprintf(stderr, "setupkit: no files given\n");
    return false;
  }
  return true;
}

// Reads until size bytes or the end of the file.
size_t ReadFull(std::FILE* f, uint8_t* buffer, size_t size) { return std::fread(buffer, 1, size, f); }

int64_t Position(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return ftello(f);
#endif
}

// --- compress ------------------------------------------------------------

// The compressed name of path, or why it has none (said on stderr).
std::optional<qs::SzddCompressedName> CompressedNameOf(const std::string& path) {
  auto name = qs::MakeSzddCompressedName(NameOf(path), NameCodePage());
  if (name) return name;
  if (!NameOf(path).empty() && NameOf(path).back() == '_') {
    std::fprintf(stderr, "setupkit: %s: the name already ends in '_'; not compressed\n", path.c_str());
  } else {
    std::fprintf(stderr, "setupkit: %s: the name has no last character that a header can keep\n",
                 path.c_str());
  }
  return std::nullopt;
}

// Writes the SZDD file of in to out: a blank header, the data, then the
// real header once the length is known. Returns kOk or says what failed.
int WriteCompressed(std::FILE* in, Output& out, const std::string& path, const std::string& target,
                    uint8_t missingChar, qs::SzddStreamTotals* totals) {
  uint8_t header[qs::kSzddHeaderSize] = {};
  bool ok = out.Write(header, sizeof header);
  Input input(in);
  if (ok && !qs::SzddEncodeStream(input, out, totals)) {
    if (std::ferror(in)) {
      std::fprintf(stderr, "setupkit: %s: read error\n", path.c_str());
      return kFailed;
    }
    ok = false;
  }
  if (totals->read > 0xFFFFFFFFu) {
    std::fprintf(stderr, "setupkit: %s: larger than 4 GiB, more than SZDD can describe\n",
                 path.c_str());
    return kFailed;
  }
  qs::SzddHeader h;
  h.missingChar = missingChar;
  h.length = static_cast<uint32_t>(totals->read);
  qs::WriteSzddHeader(h, header);
  if (!(ok && out.Rewind() && out.Write(header, sizeof header) && out.Finish())) {
    std::fprintf(stderr, "setupkit: cannot write %s\n", target.c_str());
    return kFailed;
  }
  return kOk;
}

// The outputs written so far by this call, by the name they were written
// under, with the input each came from.
using Written = std::vector<std::pair<std::string, std::string>>;

// The input an earlier file of the same call wrote target from, if any:
// names compared as the file system of the outputs compares them.
const std::string* EarlierInput(const Written& written, const std::string& target) {
  for (const auto& [output, input] : written) {
#ifdef _WIN32
    if (qs::kit::UpperName(output) == qs::kit::UpperName(target)) return &input;
#else
    if (output == target) return &input;
#endif
  }
  return nullptr;
}

int CompressOne(const std::string& path, const Options& options, Written& written) {
  auto name = CompressedNameOf(path);
  if (!name) return kFailed;
  File in = OpenFile(path, "rb");
  if (!in) {
    std::fprintf(stderr, "setupkit: %s: %s\n", path.c_str(), std::strerror(errno));
    return kFailed;
  }
  std::string target = InFolder(options.dir.empty() ? FolderOf(path) : options.dir, name->path);
  if (const std::string* earlier = EarlierInput(written, target)) {
    std::fprintf(stderr, "setupkit: %s: %s was written from %s already; not written again\n",
                 path.c_str(), target.c_str(), earlier->c_str());
    return kFailed;
  }
  Output out(target);
  if (!OpenOutput(out, target, options.force)) return kFailed;
  qs::SzddStreamTotals totals;
  if (int status = WriteCompressed(in.get(), out, path, target, name->missingChar, &totals)) {
    return status;
  }
  written.emplace_back(target, path);
  const uint64_t length = totals.read, size = qs::kSzddHeaderSize + totals.written;
  std::printf("%s -> %s: %" PRIu64 " -> %" PRIu64 " bytes (%s)\n", path.c_str(), target.c_str(),
              length, size, Ratio(size, length).c_str());
  if (size > length) {
    std::printf("  note: the compressed file is bigger than the original, by %" PRIu64 " bytes\n",
                size - length);
  }
  std::string back = qs::SzddExpandedName(name->path, name->missingChar, NameCodePage());
  if (back != NameOf(path) && back != NameOf(path) + ".") {
    std::printf("  note: expands as %s (the case follows the name's last letter)\n", back.c_str());
  }
  return kOk;
}

// --- expand and info ---------------------------------------------------------

struct Opened {
  File file;
  uint8_t head[qs::kSzddHeaderSize];
  size_t headSize = 0;
  qs::SzddKind kind = qs::SzddKind::NotCompressed;
  qs::SzddHeader header;
};

bool OpenSource(const std::string& path, Opened* src) {
  src->file = OpenFile(path, "rb");
  if (!src->file) {
    std::fprintf(stderr, "setupkit: %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  src->headSize = ReadFull(src->file.get(), src->head, sizeof src->head);
  src->kind = qs::ParseSzddHeader(src->head, src->headSize, &src->header);
  return true;
}

std::string ExpandedNameOf(const std::string& path, const Opened& src) {
  if (src.kind == qs::SzddKind::NotCompressed) return NameOf(path);
  std::string name = qs::SzddExpandedName(NameOf(path), src.header.missingChar, NameCodePage());
  if (name.size() > 1 && name.back() == '.') name.pop_back();
  return name;
}

// Decodes the rest of src into out (when given); returns the expanded length.
bool Expand(Opened& src, Output* out, uint64_t* length) {
  Input input(src.file.get());
  qs::SzddStreamTotals totals;
  bool ok = qs::SzddDecodeStream(input, out, &totals);
  *length = totals.written;
  return ok;
}

// Copies the rest of a file that is not SZDD (its head already read) to out.
bool CopyPlain(Opened& src, Output& out, uint64_t* length) {
  bool ok = out.Write(src.head, src.headSize);
  *length = src.headSize;
  std::vector<uint8_t> buf(kChunk);
  while (ok) {
    size_t got = ReadFull(src.file.get(), buf.data(), buf.size());
    if (std::ferror(src.file.get())) ok = false;
    if (got == 0) break;
    ok = ok && out.Write(buf.data(), got);
    *length += got;
  }
  return ok;
}

// Where src expands to, in *target: kOk, or the status of why it does not
// (said on stderr).
int ExpandTarget(const std::string& path, const Opened& src, const Options& options,
                 std::string* target) {
  if (src.kind == qs::SzddKind::UnknownMode) {
    std::fprintf(stderr, "setupkit: %s: SZDD file of unknown mode 0x%02X; cannot expand\n",
                 path.c_str(), src.header.mode);
    return kFailed;
  }
  *target = InFolder(options.dir.empty() ? FolderOf(path) : options.dir, ExpandedNameOf(path, src));
  if (src.kind == qs::SzddKind::NotCompressed && options.dir.empty()) {
    std::fprintf(stderr, "setupkit: %s is not an SZDD file; it expands to itself (use -d to copy it)\n",
                 path.c_str());
    return kNotCompressed;
  }
  if (*target == path) {
    std::fprintf(stderr, "setupkit: %s expands to its own name; use -d to expand it elsewhere\n",
                 path.c_str());
    return kFailed;
  }
  return kOk;
}

int ExpandOne(const std::string& path, const Options& options) {
  Opened src;
  if (!OpenSource(path, &src)) return kFailed;
  std::string target;
  if (int status = ExpandTarget(path, src, options, &target)) return status;
  Output out(target);
  if (!OpenOutput(out, target, options.force)) return kFailed;
  const bool plain = src.kind == qs::SzddKind::NotCompressed;
  uint64_t length = 0;
  bool ok = plain ? CopyPlain(src, out, &length) : Expand(src, &out, &length);
  if (!ok || !out.Finish()) {
    std::fprintf(stderr, "setupkit: %s: read or write error; %s not written\n", path.c_str(),
                 target.c_str());
    return kFailed;
  }
  if (plain) {
    std::fprintf(stderr, "setupkit: %s is not an SZDD file; copied unchanged to %s\n", path.c_str(),
                 target.c_str());
    return kNotCompressed;
  }
  std::printf("%s -> %s: %" PRIu64 " bytes\n", path.c_str(), target.c_str(), length);
  if (length != src.header.length) {
    std::printf("  note: the header says %" PRIu32 " bytes\n", src.header.length);
  }
  return kOk;
}

// Lists a bundle's files; kNotCompressed when path is no bundle.
int BundleInfo(const std::string& path) {
  qs::BundleLayout layout;
  qs::BundleStatus status = qs::kit::InspectBundle(path, &layout);
  if (status == qs::BundleStatus::NotABundle) return kNotCompressed;
  if (status != qs::BundleStatus::Ok) {
    std::fprintf(stderr, "setupkit: %s: %s\n", path.c_str(), qs::kit::BundleStatusText(status));
    return kFailed;
  }
  const qs::BundleHeader& h = layout.header;
  const uint32_t dictionary = h.lzmaProperties[1] | h.lzmaProperties[2] << 8 |
                              h.lzmaProperties[3] << 16 | uint32_t{h.lzmaProperties[4]} << 24;
  std::printf("%s: a bundle of %zu files\n", path.c_str(), layout.entries.size());
  std::printf("  payload:          %" PRIu32 " bytes from offset %" PRIu32 ", digest checked\n",
              layout.payloadSize, layout.payloadOffset);
  std::printf("  unpacked:         %" PRIu32 " bytes (%s packed)\n", h.unpackedSize,
              Ratio(h.streamSize, h.unpackedSize).c_str());
  std::printf("  LZMA:             dictionary %" PRIu32 " KiB, properties 0x%02X\n", dictionary >> 10,
              h.lzmaProperties[0]);
  for (const qs::BundleEntry& entry : layout.entries) {
    std::printf("  %12" PRIu32 " %c%s %s\n", entry.size,
                entry.attributes & qs::kAttrReadOnly ? 'R' : '-',
                entry.flags & qs::kBundleX86       ? " x86"
                : entry.flags & qs::kBundleProgram ? " prg"
                                                   : "    ",
                entry.name.c_str());
  }
  return kOk;
}

int InfoOne(const std::string& path) {
  if (int status = BundleInfo(path); status != kNotCompressed) return status;
  Opened src;
  if (!OpenSource(path, &src)) return kFailed;
  if (src.kind == qs::SzddKind::NotCompressed) {
    std::printf("%s: not an SZDD file; expands to itself\n", path.c_str());
    return kNotCompressed;
  }
  std::printf("%s:\n", path.c_str());
  std::printf("  mode:             0x%02X%s\n", src.header.mode,
              src.kind == qs::SzddKind::Compressed ? " (A, LZSS)" : " (unknown: cannot expand)");
  if (src.kind == qs::SzddKind::UnknownMode) return kFailed;
  uint8_t c = src.header.missingChar;
  if (c == 0) {
    std::printf("  kept character:   none\n");
  } else if (c >= 0x20 && c < 0x7F) {
    std::printf("  kept character:   '%c' (0x%02X)\n", c, c);
  } else {
    std::printf("  kept character:   0x%02X\n", c);
  }
  std::printf("  expanded name:    %s\n", ExpandedNameOf(path, src).c_str());
  std::printf("  header length:    %" PRIu32 " bytes\n", src.header.length);
  uint64_t length = 0;
  if (!Expand(src, nullptr, &length)) {
    std::fprintf(stderr, "setupkit: %s: read error\n", path.c_str());
    return kFailed;
  }
  int64_t size = Position(src.file.get());
  std::printf("  expanded length:  %" PRIu64 " bytes%s\n", length,
              length == src.header.length ? "" : " (differs from the header)");
  if (size >= 0) {
    std::printf("  compressed size:  %" PRId64 " bytes (%s)\n", size,
                Ratio(static_cast<uint64_t>(size), length).c_str());
  }
  return kOk;
}

// --- check, plan, pack ---------------------------------------------------------

int Usage(const std::string& message, const char* help) {
  std::fprintf(stderr, "setupkit: %s\n\n%s%s", message.c_str(), help,
               help == kBundleHelp || help == kExtractHelp ? "" : qs::kit::kLayoutHelp);
  return kUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

// Takes "name VALUE" out of args; false when the value is missing.
bool TakeValue(std::vector<std::string>& args, const char* name, std::string* value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 == args.size()) return false;
    *value = args[i + 1];
    args.erase(args.begin() + i, args.begin() + i + 2);
    return TakeValue(args, name, value);
  }
  return true;
}

bool TakeFlag(std::vector<std::string>& args, const char* name) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      args.erase(args.begin() + i);
      return true;
    }
  }
  return false;
}

std::string OnlyOperand(const std::vector<std::string>& args, std::string* error) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') *error = "unknown option " + arg;
  }
  if (error->empty() && args.size() > 1) *error = "more than one folder given";
  return args.empty() ? "." : args[0];
}

// --format text|json, taken out of args; false on another value.
bool TakeFormat(std::vector<std::string>& args, bool* json) {
  std::string format = "text";
  if (!TakeValue(args, "--format", &format) || (format != "text" && format != "json")) return false;
  *json = format == "json";
  return true;
}

int CheckCommand(std::vector<std::string> args) {
  if (WantsHelp(args)) {
    std::printf("%s%s", kCheckHelp, qs::kit::kLayoutHelp);
    return kOk;
  }
  qs::kit::Layout layout;
  qs::kit::Choices choices;
  std::string error;
  bool json = false;
  if (!TakeFormat(args, &json)) return Usage("--format takes text or json", kCheckHelp);
  if (!qs::kit::TakeLayoutOptions(args, layout, choices, error)) return Usage(error, kCheckHelp);
  std::string target = OnlyOperand(args, &error);
  if (!error.empty()) return Usage(error, kCheckHelp);
  qs::kit::CheckReport report = qs::kit::CheckProduct(target, layout, choices);
  if (!report.unreadable.empty()) std::fprintf(stderr, "setupkit: %s\n", report.unreadable.c_str());
  std::string out = json ? qs::kit::FormatJson(report) : qs::kit::FormatText(report);
  std::fputs(out.c_str(), stdout);
  return report.ExitCode();
}

int PlanCommand(std::vector<std::string> args) {
  if (WantsHelp(args)) {
    std::printf("%s%s", kPlanHelp, qs::kit::kLayoutHelp);
    return kOk;
  }
  qs::kit::Layout layout;
  qs::kit::Choices choices;
  std::string error;
  bool json = false;
  if (!TakeFormat(args, &json)) return Usage("--format takes text or json", kPlanHelp);
  if (!qs::kit::TakeLayoutOptions(args, layout, choices, error)) return Usage(error, kPlanHelp);
  std::string target = OnlyOperand(args, &error);
  if (!error.empty()) return Usage(error, kPlanHelp);
  qs::kit::DryRunResult result = qs::kit::DryRun(target, layout, choices);
  std::fputs((json ? qs::kit::FormatPlanJson(result) : qs::kit::FormatPlan(result)).c_str(), stdout);
  return qs::kit::PlanExitCode(result);
}

int PackCommand(std::vector<std::string> args, const char* program) {
  if (WantsHelp(args)) {
    std::printf("%s%s", kPackHelp, qs::kit::kLayoutHelp);
    return kOk;
  }
  qs::kit::Layout layout;
  qs::kit::Choices choices;
  qs::kit::PackRequest request;
  std::string output, setupExe, error;
  if (!TakeValue(args, "-o", &output) || output.empty()) return Usage("pack needs -o OUT", kPackHelp);
  if (!TakeValue(args, "--setup-exe", &setupExe)) return Usage("--setup-exe needs a path", kPackHelp);
  request.withoutSetupExe = TakeFlag(args, "--no-setup-exe");
  if (request.withoutSetupExe && !setupExe.empty()) {
    return Usage("--setup-exe and --no-setup-exe exclude each other", kPackHelp);
  }
  request.force = TakeFlag(args, "--force");
  if (!qs::kit::TakeLayoutOptions(args, layout, choices, error)) return Usage(error, kPackHelp);
  if (args.empty()) return Usage("pack needs the source folder", kPackHelp);
  std::string source = OnlyOperand(args, &error);
  if (!error.empty()) return Usage(error, kPackHelp);
  request.source = source;
  request.output = output;
  for (const std::string& candidate : {FolderOf(program) + "SETUP.EXE", InFolder(source, "SETUP.EXE")}) {
    if (setupExe.empty() && !request.withoutSetupExe && Exists(candidate)) setupExe = candidate;
  }
  request.setupExe = setupExe;
  qs::kit::PackResult result = qs::kit::Pack(request, layout, choices);
  std::fputs(qs::kit::FormatText(result.check).c_str(), stdout);
  if (!result.built) {
    std::fprintf(stderr, "setupkit: %s\n", result.message.c_str());
    return qs::kit::kKitUnreadable;
  }
  std::printf("setupkit: %s%s\n", result.message.c_str(),
              setupExe.empty() ? " (without SETUP.EXE, as asked)" : (" (SETUP.EXE from " + setupExe + ")").c_str());
  return result.check.findings.empty() ? qs::kit::kKitClean : qs::kit::kKitFindings;
}

int BundleCommand(std::vector<std::string> args) {
  if (WantsHelp(args)) {
    std::fputs(kBundleHelp, stdout);
    return kOk;
  }
  qs::kit::BundleRequest request;
  std::string output, error;
  if (!TakeValue(args, "-o", &output) || output.empty()) return Usage("bundle needs -o FILE", kBundleHelp);
  request.force = TakeFlag(args, "--force");
  request.filter = !TakeFlag(args, "--no-filter");
  if (args.empty()) return Usage("bundle needs the product folder", kBundleHelp);
  request.folder = OnlyOperand(args, &error);
  if (!error.empty()) return Usage(error, kBundleHelp);
  request.output = output;
  qs::kit::BundleBuilt built = qs::kit::MakeBundle(request);
  if (!built.built) {
    std::fprintf(stderr, "setupkit: %s\n", built.message.c_str());
    return kFailed;
  }
  std::printf("setupkit: %s: %" PRIu64 " bytes unpacked in %" PRIu64 " bytes (%s)\n",
              built.message.c_str(), built.unpackedSize, built.size,
              Ratio(built.size, built.unpackedSize).c_str());
  return kOk;
}

int ExtractCommand(std::vector<std::string> args) {
  if (WantsHelp(args)) {
    std::fputs(kExtractHelp, stdout);
    return kOk;
  }
  std::string dir, error;
  if (!TakeValue(args, "-d", &dir) || dir.empty()) return Usage("extract needs -d DIR", kExtractHelp);
  if (args.empty()) return Usage("extract needs the bundle", kExtractHelp);
  std::string bundle = OnlyOperand(args, &error);
  if (!error.empty()) return Usage(error, kExtractHelp);
  qs::BundleLayout layout;
  qs::BundleStatus status = qs::kit::InspectBundle(bundle, &layout);
  if (status == qs::BundleStatus::Ok) status = qs::kit::ExtractBundleTo(bundle, layout, dir);
  if (status != qs::BundleStatus::Ok) {
    std::fprintf(stderr, "setupkit: %s: %s\n", bundle.c_str(), qs::kit::BundleStatusText(status));
    return status == qs::BundleStatus::NotABundle ? kNotCompressed : kFailed;
  }
  std::printf("%s -> %s: %zu files, %" PRIu32 " bytes\n", bundle.c_str(), dir.c_str(),
              layout.entries.size(), layout.header.unpackedSize);
  return kOk;
}

int Run(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kMainHelp, argc < 2 ? stderr : stdout);
    return argc < 2 ? kUsage : kOk;
  }
  std::string command = argv[1];
  if (command == "--version") {
    std::printf("setupkit %s (Quillo! Setup for Windows32)\n", QS_VERSION);
    return kOk;
  }
  std::vector<std::string> rest(argv + 2, argv + argc);
  if (command == "check") return CheckCommand(rest);
  if (command == "plan") return PlanCommand(rest);
  if (command == "pack") return PackCommand(rest, argv[0]);
  if (command == "bundle") return BundleCommand(rest);
  if (command == "extract") return ExtractCommand(rest);
  const char* help = command == "compress" ? kCompressHelp
                     : command == "expand" ? kExpandHelp
                     : command == "info"   ? kInfoHelp
                                           : nullptr;
  if (!help) {
    std::fprintf(stderr, "setupkit: unknown command %s\n\n%s", command.c_str(), kMainHelp);
    return kUsage;
  }
  Options options;
  if (!ParseOptions(argc, argv, command != "info", &options)) {
    std::fprintf(stderr, "\n%s", help);
    return kUsage;
  }
  if (options.help) {
    std::fputs(help, stdout);
    return kOk;
  }
  int worst = kOk;
  Written written;
  for (const std::string& file : options.files) {
    int result = command == "compress" ? CompressOne(file, options, written)
                 : command == "expand" ? ExpandOne(file, options)
                                       : InfoOne(file);
    if (result == kFailed || (result == kNotCompressed && worst == kOk)) worst = result;
  }
  return worst;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
