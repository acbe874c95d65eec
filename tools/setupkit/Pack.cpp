#include "tools/setupkit/Pack.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "core/Paths.h"
#include "core/Szdd.h"
#include "core/SzddFiles.h"
#include "data/Definition.h"
#include "platform/Unicode.h"
#include "platform/fake/Cp932.h"
#include "platform/fake/FakePlatform.h"
#include "tools/setupkit/Text.h"

namespace qs::kit {
namespace fs = std::filesystem;
namespace {

constexpr CodePage kCp = kUtf8;
constexpr const char* kStagedIni = "D:\\SETUP.INI";

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// Where a byte is in a text: its line and the character's column, both
// from 1, counting characters of the form the text is read in.
struct Place {
  int line = 1;
  int column = 1;
};
Place PlaceOf(const std::string& bytes, size_t offset, bool utf8) {
  Place place;
  CodePage cp(932);
  for (size_t i = 0; i < offset && i < bytes.size();) {
    if (bytes[i] == '\n' || (bytes[i] == '\r' && bytes.compare(i, 2, "\r\n") != 0)) {
      ++place.line;
      place.column = 1;
      ++i;
      continue;
    }
    ++place.column;
    if (utf8) {
      NextCodePoint(bytes, i);
    } else {
      i += cp.IsLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    }
  }
  return place;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// A source text as UTF-8: UTF-8 (after a byte-order mark or not) or
// Shift-JIS, whichever it is. error, when it is neither, says where the
// text stops being either: NAME:LINE:COLUMN and the bytes.
std::optional<std::string> SourceText(const std::string& bytes, const std::string& name,
                                      std::string& error) {
  const bool marked = HasUtf8Bom(bytes);
  const std::string body = marked ? bytes.substr(3) : bytes;
  if (IsUtf8(body)) return body;
  if (!marked) {
    if (std::optional<std::string> text = fake::Cp932ToUtf8(body)) return text;
  }
  // Neither: the place in the form the text looks more like, which is the
  // one it goes on longer in.
  size_t utf8Stop = 0;
  for (size_t i = 0; i < body.size();) {
    size_t start = i;
    if (NextCodePoint(body, i) == 0xFFFD && body.compare(start, 3, "\xEF\xBF\xBD") != 0) {
      utf8Stop = start;
      break;
    }
  }
  const size_t sjisStop = FirstNonCp932(body);
  const bool utf8 = marked || utf8Stop >= sjisStop;
  const size_t stop = utf8 ? utf8Stop : sjisStop;
  Place place = PlaceOf(body, stop, utf8);
  error = name + ":" + std::to_string(place.line) + ":" + std::to_string(place.column) +
          ": the bytes " + Hex(body.substr(stop, 2)) + " are no " +
          (utf8 ? "UTF-8" : "Shift-JIS") + " character (the text reads as " +
          (utf8 ? "UTF-8" : "Shift-JIS") + " up to there); save it as UTF-8";
  return std::nullopt;
}

// A UTF-8 text as the program reads it, every line ended by CR LF: in
// Shift-JIS when every character has a form there, else in UTF-8 after a
// byte-order mark.
struct ProgramText {
  std::string bytes;
  std::string lacking;  // the first character Shift-JIS lacks; empty: Shift-JIS
};
ProgramText ToProgramText(const std::string& utf8) {
  std::string crlf;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') continue;
    if (utf8[i] == '\n') crlf += '\r';
    crlf += utf8[i];
  }
  if (!crlf.empty() && crlf.back() != '\n') crlf += "\r\n";
  if (std::optional<std::string> sjis = fake::Utf8ToCp932(crlf)) return ProgramText{*sjis, ""};
  for (size_t i = 0; i < crlf.size();) {
    size_t start = i;
    NextCodePoint(crlf, i);
    std::string character = crlf.substr(start, i - start);
    if (!fake::Utf8ToCp932(character)) return ProgramText{"\xEF\xBB\xBF" + crlf, character};
  }
  return ProgramText{"\xEF\xBB\xBF" + crlf, "?"};
}

// What pack says of a text it wrote out.
std::string FormNote(const std::string& name, const ProgramText& text) {
  if (text.lacking.empty()) return name + " in Shift-JIS";
  return name + " in UTF-8 with a byte-order mark ('" + text.lacking +
         "' has no Shift-JIS form; SETUP.EXE reads both)";
}

// The yen sign: a separator to a packager on a Japanese keyboard, to the
// program only a character.
constexpr const char* kYen = "\xC2\xA5";

class Packer {
 public:
  Packer(const PackRequest& request, const fs::path& stage)
      : request_(request),
        root_(request.source.has_filename() ? request.source : request.source.parent_path()),
        stage_(stage) {
    Index();
  }

  // Fills the staging folder; false with message_ set on failure.
  bool Build() {
    std::optional<fs::path> ini = Top("SETUP.INI");
    if (!ini) return Fail("no SETUP.INI in " + NameOf(root_));
    definitionPath_ = *ini;
    std::optional<std::string> text = Text(*ini, "SETUP.INI");
    if (!text || !Write("SETUP.INI", *text)) return false;
    fake::FakePlatform os;
    os.AddFile(kStagedIni, *text);
    DefinitionFile definition(os, kStagedIni);
    if (!Readme(definition.Get(keys::kReadmeFile))) return false;
    for (const DefinitionEntry& entry : definition.List(keys::kCopyFile)) {
      std::string name = FileNamePart(SplitCopyFileValue(entry.value).path, kCp);
      if (!Supply(UpperName(name), "File" + std::to_string(entry.number))) return false;
    }
    return SetupExe();
  }

  const std::string& message() const { return message_; }
  const std::vector<std::string>& notes() const { return notes_; }
  const std::vector<Finding>& findings() const { return findings_; }
  const fs::path& definitionPath() const { return definitionPath_; }

 private:
  bool Fail(const std::string& text) {
    message_ = text;
    return false;
  }

  // Every file of the source tree, but the output and its stage when they
  // lie inside it.
  void Index() {
    std::error_code ec;
    const fs::path output = fs::weakly_canonical(request_.output, ec);
    const fs::path stage = fs::weakly_canonical(stage_, ec);
    fs::recursive_directory_iterator it(root_, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const fs::path path = fs::weakly_canonical(it->path(), ec);
      if (path == output || path == stage) {
        it.disable_recursion_pending();
      } else if (it->is_regular_file()) {
        tree_.push_back(it->path());
      }
    }
  }
  bool DirectlyInSource(const fs::path& path) const { return path.parent_path() == root_; }
  // The file of that name directly in the source.
  std::optional<fs::path> Top(const std::string& upperName) const {
    for (const fs::path& path : tree_) {
      if (DirectlyInSource(path) && UpperName(NameOf(path.filename())) == upperName) return path;
    }
    return std::nullopt;
  }

  // A source text as the program reads it, with what pack has to say
  // about it. The bytes to write; nullopt (with the message) when the
  // source is no text.
  std::optional<std::string> Text(const fs::path& path, const std::string& what) {
    std::optional<std::string> utf8 = SourceText(ReadBytes(path), NameOf(path), message_);
    if (!utf8) return std::nullopt;
    for (size_t at = utf8->find(kYen); at != std::string::npos; at = utf8->find(kYen, at + 1)) {
      Place place = PlaceOf(*utf8, at, true);
      findings_.push_back({NameOf(path), place.line, Severity::Warning,
                           "'\xC2\xA5' is no path separator to the program: Shift-JIS has no "
                           "character for it (its byte 5C, shown as \xC2\xA5 on Japanese "
                           "Windows, is '\\'), so the file is written in UTF-8 and keeps "
                           "'\xC2\xA5'. Write '\\' where a separator is meant",
                           place.column});
    }
    ProgramText text = ToProgramText(*utf8);
    notes_.push_back(FormNote(what, text));
    return text.bytes;
  }

  bool Write(const fs::path& relative, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories((stage_ / relative).parent_path(), ec);
    if (!WriteBytes(stage_ / relative, bytes)) return Fail("cannot write " + NameOf(stage_ / relative));
    return true;
  }

  // The readme, at the place below the folder the definition names; none
  // where there is none (check says so).
  bool Readme(const std::string& file) {
    if (file.empty()) return true;
    std::optional<fs::path> at = FindInProduct(root_, file);
    if (!at) return true;
    const fs::path relative = at->lexically_relative(root_);
    std::optional<std::string> bytes = Text(*at, "the readme " + NameOf(relative));
    if (!bytes || !Write(relative, *bytes)) return false;
    if (relative.parent_path().empty()) made_[UpperName(NameOf(relative))] = true;
    return true;
  }

  // The originals an entry's file could be made from: files of its name,
  // and for a name ending in "_" the files that compress to it. Those
  // directly in the source come first and alone when there are any.
  std::vector<fs::path> Candidates(const std::string& name) const {
    std::vector<fs::path> top, deeper;
    for (const fs::path& path : tree_) {
      std::string upper = UpperName(NameOf(path.filename()));
      bool fits = upper == name;
      if (!fits && !name.empty() && name.back() == '_') {
        std::optional<SzddCompressedName> compressed =
            MakeSzddCompressedName(NameOf(path.filename()), kCp);
        fits = compressed && UpperName(compressed->path) == name;
      }
      if (fits) (DirectlyInSource(path) ? top : deeper).push_back(path);
    }
    return top.empty() ? deeper : top;
  }

  // Puts the file that a [CopyFile] entry names into the product folder,
  // unless it is there already or the source tree has no original for it
  // (check reports the missing file).
  bool Supply(const std::string& name, const std::string& key) {
    if (made_.count(name)) return true;
    std::vector<fs::path> candidates = Candidates(name);
    if (candidates.empty()) return true;
    if (candidates.size() > 1) {
      std::string list;
      for (const fs::path& path : candidates) {
        list += (list.empty() ? "" : ", ") + NameOf(path.lexically_relative(root_));
      }
      return Fail(key + ": " + name + " could be made from any of " + list + "; keep one, or put "
                  "the one to ship directly in " + NameOf(root_));
    }
    const fs::path& original = candidates[0];
    made_[name] = true;
    if (UpperName(NameOf(original.filename())) == name) {
      std::error_code ec;
      fs::copy_file(original, stage_ / original.filename(), fs::copy_options::overwrite_existing, ec);
      return ec ? Fail("cannot copy " + NameOf(original) + ": " + ec.message()) : true;
    }
    std::optional<SzddCompressedName> compressed =
        MakeSzddCompressedName(NameOf(original.filename()), kCp);
    return Write(PathOf(compressed->path),
                 SzddCompress(ReadBytes(original), compressed->missingChar));
  }

  bool SetupExe() {
    if (request_.setupExe.empty()) {
      if (request_.withoutSetupExe) return true;
      return Fail("no SETUP.EXE to ship: give --setup-exe PATH (or --no-setup-exe to pack "
                  "without it)");
    }
    std::error_code ec;
    if (!fs::copy_file(request_.setupExe, stage_ / "SETUP.EXE", fs::copy_options::overwrite_existing,
                       ec)) {
      return Fail("cannot copy " + NameOf(request_.setupExe) + ": " + ec.message());
    }
    return true;
  }

  const PackRequest& request_;
  fs::path root_;  // the source, without a trailing separator
  fs::path stage_;
  std::vector<fs::path> tree_;
  std::string message_;
  std::vector<std::string> notes_;
  std::vector<Finding> findings_;
  fs::path definitionPath_;
  std::map<std::string, bool> made_;  // upper-case names directly in the product
};

// Why the request cannot be packed as asked; empty when it can.
std::string RefusalOf(const PackRequest& request) {
  std::error_code ec;
  if (!fs::is_directory(request.source)) return NameOf(request.source) + " is not a folder";
  // Replacing the output must never touch the source.
  fs::path source = fs::weakly_canonical(request.source, ec);
  fs::path output = fs::weakly_canonical(request.output, ec);
  auto mismatch = std::mismatch(output.begin(), output.end(), source.begin(), source.end());
  if (mismatch.first == output.end()) {
    return NameOf(request.output) + " holds the source; choose another output folder";
  }
  if (fs::exists(request.output) && !fs::is_empty(request.output, ec) && !request.force) {
    return NameOf(request.output) + " exists and is not empty; use --force to replace it";
  }
  return std::string();
}

// Replaces the output folder with the checked stage; empty when done, else
// what went wrong.
std::string Publish(const fs::path& stage, const fs::path& output) {
  std::error_code ec;
  fs::remove_all(output, ec);
  fs::create_directories(output.parent_path().empty() ? fs::path(".") : output.parent_path(), ec);
  fs::rename(stage, output, ec);
  return ec ? "cannot make " + NameOf(output) + ": " + ec.message() : std::string();
}

}  // namespace

PackResult Pack(const PackRequest& request, const Layout& layout, const Choices& choices) {
  PackResult result;
  result.message = RefusalOf(request);
  if (!result.message.empty()) return result;
  std::error_code ec;
  fs::path stage = request.output;
  stage += ".setupkit-tmp";
  fs::remove_all(stage, ec);
  fs::create_directories(stage, ec);
  Packer packer(request, stage);
  const bool built = packer.Build();
  result.check.findings = packer.findings();
  if (!built) {
    fs::remove_all(stage, ec);
    result.message = packer.message();
    return result;
  }
  CheckReport check = CheckProduct(stage, layout, choices);
  // The findings about the written SETUP.INI point at the source's lines.
  const std::string staged = NameOf(stage / "SETUP.INI");
  for (Finding& finding : check.findings) {
    if (finding.file == staged) finding.file = NameOf(packer.definitionPath());
    result.check.findings.push_back(finding);
  }
  if (!check.unreadable.empty()) {
    fs::remove_all(stage, ec);
    result.message = check.unreadable;
    return result;
  }
  if (result.check.Errors() > 0) {
    fs::remove_all(stage, ec);
    result.message = "check found errors; nothing was written to " + NameOf(request.output);
    return result;
  }
  result.message = Publish(stage, request.output);
  if (!result.message.empty()) return result;
  result.built = true;
  result.message = "packed " + NameOf(request.output);
  for (const std::string& note : packer.notes()) result.message += "; " + note;
  return result;
}

}  // namespace qs::kit
