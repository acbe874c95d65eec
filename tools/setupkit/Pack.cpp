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

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// A UTF-8 text as the program reads it, every line ended by CR LF: in
// Shift-JIS when every character has a form there, else in UTF-8 after a
// byte-order mark. nullopt when the source is not UTF-8.
struct ProgramText {
  std::string bytes;
  std::string lacking;  // the first character Shift-JIS lacks; empty: Shift-JIS
};
std::optional<ProgramText> ToProgramText(std::string utf8) {
  if (utf8.rfind("\xEF\xBB\xBF", 0) == 0) utf8.erase(0, 3);
  if (!IsUtf8(utf8)) return std::nullopt;
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

// Every file of the source tree by its upper-case name (Shift-JIS); the
// first one found wins, files directly in the source before the rest.
std::map<std::string, fs::path> TreeFiles(const fs::path& root) {
  std::map<std::string, fs::path> files;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
    if (entry.is_regular_file()) {
      files.emplace(UpperName(NameOf(entry.path().filename())), entry.path());
    }
  }
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root, ec)) {
    if (entry.is_regular_file()) {
      files.emplace(UpperName(NameOf(entry.path().filename())), entry.path());
    }
  }
  return files;
}

std::optional<fs::path> FindDefinition(const fs::path& folder) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file() && UpperName(NameOf(entry.path().filename())) == "SETUP.INI") {
      return entry.path();
    }
  }
  return std::nullopt;
}

class Packer {
 public:
  explicit Packer(const PackRequest& request) : request_(request) {}

  // Fills the staging folder; false with message_ set on failure.
  bool Build(const fs::path& stage) {
    std::optional<fs::path> ini = FindDefinition(request_.source);
    if (!ini) return Fail("no SETUP.INI in " + request_.source.string());
    definition_ = *ini;
    std::optional<ProgramText> text = ToProgramText(ReadBytes(*ini));
    if (!text) return Fail(NameOf(*ini) + " is not UTF-8");
    if (!WriteBytes(stage / "SETUP.INI", text->bytes)) return Fail("cannot write " + NameOf(stage));
    notes_.push_back(FormNote("SETUP.INI", *text));
    fake::FakePlatform os;
    os.AddFile("D:\\SETUP.INI", text->bytes);
    DefinitionFile definition(os, "D:\\SETUP.INI");
    std::string readme = definition.Get(keys::kReadmeFile);
    std::string readmeName = UpperName(FileNamePart(readme, kCp));

    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(request_.source, ec)) {
      if (!entry.is_regular_file() || entry.path() == *ini) continue;
      const fs::path name = entry.path().filename();
      std::string bytes = ReadBytes(entry.path());
      if (!readmeName.empty() && UpperName(NameOf(name)) == readmeName) {
        std::optional<ProgramText> converted = ToProgramText(bytes);
        if (!converted) return Fail(NameOf(entry.path()) + " (the readme) is not UTF-8");
        bytes = converted->bytes;
        notes_.push_back(FormNote("the readme " + NameOf(name), *converted));
      }
      if (!WriteBytes(stage / name, bytes)) return Fail("cannot write " + NameOf(stage / name));
      made_[UpperName(NameOf(name))] = true;
    }

    std::map<std::string, fs::path> tree = TreeFiles(request_.source);
    for (const DefinitionEntry& entry : definition.List(keys::kCopyFile)) {
      std::string name = FileNamePart(SplitCopyFileValue(entry.value).path, kCp);
      if (!Supply(stage, UpperName(name), tree)) return false;
    }
    if (!request_.setupExe.empty()) {
      if (!fs::copy_file(request_.setupExe, stage / "SETUP.EXE",
                         fs::copy_options::overwrite_existing, ec)) {
        return Fail("cannot copy " + request_.setupExe.string() + ": " + ec.message());
      }
    }
    return true;
  }

  const std::string& message() const { return message_; }
  const std::vector<std::string>& notes() const { return notes_; }
  const fs::path& definition() const { return definition_; }

 private:
  bool Fail(const std::string& text) {
    message_ = text;
    return false;
  }

  // Puts the file that a [CopyFile] entry names into the product folder,
  // unless it is there already or the source tree has no original for it
  // (check reports the missing file).
  bool Supply(const fs::path& stage, const std::string& name,
              const std::map<std::string, fs::path>& tree) {
    if (made_.count(name)) return true;
    if (auto found = tree.find(name); found != tree.end()) {
      std::error_code ec;
      fs::copy_file(found->second, stage / found->second.filename(),
                    fs::copy_options::overwrite_existing, ec);
      if (ec) return Fail("cannot copy " + found->second.string() + ": " + ec.message());
      made_[name] = true;
      return true;
    }
    if (name.empty() || name.back() != '_') return true;
    for (const auto& [upper, path] : tree) {
      std::string original = NameOf(path.filename());
      std::optional<SzddCompressedName> compressed = MakeSzddCompressedName(original, kCp);
      if (!compressed || UpperName(compressed->path) != name) continue;
      fs::path diskName = PathOf(compressed->path);
      if (!WriteBytes(stage / diskName, SzddCompress(ReadBytes(path), compressed->missingChar))) {
        return Fail("cannot write " + NameOf(stage / diskName));
      }
      made_[name] = true;
      return true;
    }
    return true;
  }

  const PackRequest& request_;
  std::string message_;
  std::vector<std::string> notes_;
  fs::path definition_;
  std::map<std::string, bool> made_;
};

// Why the request cannot be packed as asked; empty when it can.
std::string RefusalOf(const PackRequest& request) {
  std::error_code ec;
  if (!fs::is_directory(request.source)) return request.source.string() + " is not a folder";
  // Replacing the output must never touch the source.
  fs::path source = fs::weakly_canonical(request.source, ec);
  fs::path output = fs::weakly_canonical(request.output, ec);
  auto mismatch = std::mismatch(output.begin(), output.end(), source.begin(), source.end());
  if (mismatch.first == output.end()) {
    return request.output.string() + " holds the source; choose another output folder";
  }
  if (fs::exists(request.output) && !fs::is_empty(request.output, ec) && !request.force) {
    return request.output.string() + " exists and is not empty; use --force to replace it";
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
  return ec ? "cannot make " + output.string() + ": " + ec.message() : std::string();
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
  Packer packer(request);
  if (!packer.Build(stage)) {
    fs::remove_all(stage, ec);
    result.message = packer.message();
    return result;
  }
  result.check = CheckProduct(stage, layout, choices);
  // The findings about the written SETUP.INI point at the source's lines.
  std::string staged = (stage / "SETUP.INI").string();
  for (Finding& finding : result.check.findings) {
    if (finding.file == staged) finding.file = packer.definition().string();
  }
  if (result.check.Errors() > 0) {
    fs::remove_all(stage, ec);
    result.message = "check found errors; nothing was written to " + request.output.string();
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
