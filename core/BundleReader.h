// Reading a one-file SETUP.EXE (the layout is in core/Bundle.h): finding
// and checking its payload, and unpacking it into a folder.
//
// Nothing is written before every check that can be made without decoding
// has passed: the trailer, the payload's digest, the header's sizes against
// the payload's, the index against the header, every name. The stream is
// then decoded once, straight into the files; should it not decode to
// exactly what the index says (possible only for a payload made so on
// purpose, since its digest was right), what was written is removed again
// and nothing beyond an entry's size is ever written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Bundle.h"
#include "core/CodePage.h"
#include "platform/Platform.h"

namespace qs {

enum class BundleStatus {
  Ok,           // checked (and, when asked, every entry written)
  NotABundle,   // no trailer: a plain program, run from its folder as before
  Damaged,      // cut or altered: no trailer after the program, or the digest differs
  Refused,      // as made (the digest is right), but not what the program unpacks:
                // a name, a size, a header or a stream that breaks the layout's rules
  Failed,       // the file could not be read, memory not had, or the folder not written
};

// The bundle file, read front to back, as often as needed.
class BundleSource {
 public:
  virtual ~BundleSource() = default;
  virtual std::optional<uint64_t> Size() = 0;
  virtual std::unique_ptr<FileReader> Open() = 0;
};

// Where the entries go; names are the entries' own ("\" between folders).
class BundleTarget {
 public:
  virtual ~BundleTarget() = default;
  // A new folder; false when it cannot be made or something is there.
  virtual bool MakeFolder(const std::string& name) = 0;
  // A new file; null when it cannot be made or something is there.
  virtual std::unique_ptr<FileWriter> Create(const std::string& name) = 0;
  // After the last entry is written: gives an entry its attributes.
  virtual void Finish(const BundleEntry& entry) = 0;
  // Takes back a folder or file made before a failure.
  virtual void Remove(const std::string& name, bool folder) = 0;
};

// Told how far unpacking is, about every megabyte and at the end. It must
// not throw: the reader is built without unwinding tables in the program.
class BundleProgress {
 public:
  virtual ~BundleProgress() = default;
  virtual void Unpacked(uint32_t done, uint32_t total) = 0;
};

// What the checks found.
struct BundleLayout {
  uint32_t programSize = 0;  // where the program's sections end
  uint32_t payloadOffset = 0;
  uint32_t payloadSize = 0;
  BundleHeader header;
  std::vector<BundleEntry> entries;
};

// Finds the trailer, checks the digest and reads the header and index.
BundleStatus ReadBundle(BundleSource& source, BundleLayout* layout);
// Decodes the stream of a bundle that ReadBundle accepted into target. With
// a second thread (beside, not started yet), the stream is decoded on it
// while the caller's thread writes what came before; without one, or when
// it cannot start, the one thread decodes and writes in turn. The target
// and the progress are only ever called on the caller's thread.
BundleStatus ExtractBundle(BundleSource& source, const BundleLayout& layout, BundleTarget& target,
                           BundleProgress* progress, Beside* beside = nullptr);

struct BundleResult {
  BundleStatus status = BundleStatus::NotABundle;
  // The entries written, with their last write times for the caller to set.
  std::vector<BundleEntry> entries;
};

// The program's start: reads the bundle at program (its own path) and, when
// it is one and its checks pass, makes folder (which must not exist: so it
// is never a link) and unpacks into it. Files are made new (never replaced,
// never through a link); their write times and then their read-only, hidden
// and system attributes are set at the end. On a failure nothing is left,
// the folder included. Decoding goes on the platform's second thread where
// it has one.
BundleResult UnpackBundle(Platform& platform, const std::string& program,
                          const std::string& folder, BundleProgress* progress);

// What unpacking entries made below `below` (a folder's name inside the
// folder that holds it), as paths relative to that folder: the files, and
// the folders with `below` first, outermost first. A work folder removes
// them with itself (WorkFolder::AddTree).
struct UnpackedTree {
  std::vector<std::string> files, folders;
};
UnpackedTree TreeBelow(const std::string& below, const std::vector<BundleEntry>& entries,
                       CodePage cp);

}  // namespace qs
