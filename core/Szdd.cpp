#include "core/Szdd.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>
#if QS_HAS_THREADS
#include <system_error>
#include <thread>
#endif

namespace qs {
namespace {

constexpr uint8_t kMagic[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
constexpr unsigned kRingMask = 0xFFF;
constexpr unsigned kRingStart = 0xFF0;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 18;
constexpr unsigned kWindow = 4096;
constexpr unsigned kFlagMarker = 0x100;

// Ring position of the byte at output index t (negative t: the spaces that
// fill the ring before the first byte).
unsigned RingPosition(int64_t t) {
  return static_cast<unsigned>((static_cast<uint64_t>(t) + kRingStart) & kRingMask);
}

}  // namespace

SzddKind ParseSzddHeader(const uint8_t* data, size_t size, SzddHeader* header) {
  if (size < kSzddHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
    return SzddKind::NotCompressed;
  }
  if (header) {
    header->mode = data[8];
    header->missingChar = data[9];
    header->length = static_cast<uint32_t>(data[10]) | static_cast<uint32_t>(data[11]) << 8 |
                     static_cast<uint32_t>(data[12]) << 16 | static_cast<uint32_t>(data[13]) << 24;
  }
  return data[8] == kSzddModeLz ? SzddKind::Compressed : SzddKind::UnknownMode;
}

void WriteSzddHeader(const SzddHeader& header, uint8_t out[kSzddHeaderSize]) {
  std::memcpy(out, kMagic, sizeof kMagic);
  out[8] = header.mode;
  out[9] = header.missingChar;
  for (int i = 0; i < 4; ++i) out[10 + i] = static_cast<uint8_t>(header.length >> (8 * i));
}

// --- Decoder -------------------------------------------------------------------

SzddDecoder::SzddDecoder() { std::memset(ring_, ' ', sizeof ring_); }

// Copies count bytes of the match at distance matchDist_ to op. Bytes this
// call has produced come from out; older ones from the ring, which still
// holds what it held when the call began.
uint8_t* SzddDecoder::CopyMatch(uint8_t* op, uint8_t* out, size_t count) {
  const size_t d = matchDist_;
  size_t done = static_cast<size_t>(op - out);
  uint8_t* const end = op + count;
  while (op != end && done < d) {
    *op++ = ring_[(kRingStart + total_ + done - d) & kRingMask];
    ++done;
  }
  for (; op != end; ++op) *op = op[-static_cast<ptrdiff_t>(d)];
  return op;
}

void SzddDecoder::SyncRing(const uint8_t* out, size_t produced) {
  uint64_t first = total_;
  if (produced > kWindow) {
    first += produced - kWindow;
    out += produced - kWindow;
    produced = kWindow;
  }
  size_t pos = (kRingStart + first) & kRingMask;
  size_t head = std::min<size_t>(produced, kWindow - pos);
  std::memcpy(ring_ + pos, out, head);
  std::memcpy(ring_, out + head, produced - head);
}

// Continues a match that the last output buffer could not hold; false
// while it still does not fit.
bool SzddDecoder::FinishMatch(Cursor& c) {
  if (matchLeft_ == 0) return true;
  size_t n = std::min<size_t>(matchLeft_, static_cast<size_t>(c.oend - c.op));
  c.op = CopyMatch(c.op, c.out, n);
  matchLeft_ -= static_cast<unsigned>(n);
  return matchLeft_ == 0;
}

// Whole groups of eight items while both buffers have room for the largest
// one, with the eight-byte over-reads and over-writes of the literal runs
// and match copies: the fast path for all but the ends of the buffers.
void SzddDecoder::DecodeGroups(Cursor& c) {
  // 1 flag byte + 8 matches of 2 bytes, plus the over-read of a literal run.
  constexpr ptrdiff_t kGroupInput = 25;
  constexpr ptrdiff_t kGroupRoom = 8 * kMaxMatch + 16;
  const uint8_t* ip = c.ip;
  uint8_t* op = c.op;
  uint8_t* const out = c.out;
  // Only the ring position of the output so far matters: its low bits, in
  // one register where a 32-bit processor has few.
  const unsigned ringBase = static_cast<unsigned>(kRingStart + total_);
  while (c.iend - ip >= kGroupInput && c.oend - op >= kGroupRoom) {
    unsigned f = *ip++;
    if (f == 0xFF) {
      std::memcpy(op, ip, 8);
      op += 8;
      ip += 8;
      continue;
    }
    for (unsigned left = 8;;) {
      // A run of literals at once, then one match.
      unsigned run = static_cast<unsigned>(std::countr_one(f));
      std::memcpy(op, ip, 8);
      op += run;
      ip += run;
      if (run >= left) break;
      f >>= run + 1;
      left -= run + 1;

      unsigned pos = ip[0] | (static_cast<unsigned>(ip[1] & 0xF0) << 4);
      unsigned len = (ip[1] & 0x0Fu) + kMinMatch;
      ip += 2;
      size_t done = static_cast<size_t>(op - out);
      unsigned d = ((ringBase + static_cast<unsigned>(done) - pos - 1) & kRingMask) + 1;
      // Copies by the widest step the distance allows; a match reaching
      // before this call's output goes through the ring.
      if (d >= kMaxMatch && d <= done) {
        std::memcpy(op, op - d, 16);
        std::memcpy(op + 16, op - d + 16, 2);
      } else if (d >= 8 && d <= done) {
        for (unsigned k = 0; k < len; k += 8) std::memcpy(op + k, op - d + k, 8);
      } else if (d == 1 && done != 0) {
        std::memset(op, op[-1], kMaxMatch);
      } else if (d <= done) {
        const uint8_t* src = op - d;
        for (unsigned k = 0; k < len; ++k) op[k] = src[k];
      } else {
        matchDist_ = d;
        CopyMatch(op, out, len);
      }
      op += len;
      if (left == 0) break;
    }
  }
  c.ip = ip;
  c.op = op;
}

// One item, byte by byte, near the ends of the buffers; false when the
// input or the output is used up. A match is only begun here, and copied
// by FinishMatch.
bool SzddDecoder::DecodeItem(Cursor& c) {
  if (c.op == c.oend) return false;
  if (!(flags_ & kFlagMarker)) {
    if (c.ip == c.iend) return false;
    flags_ = *c.ip++ | 0xFF00u;  // eight ones above the byte: the marker lasts eight shifts
  }
  if (flags_ & 1) {
    if (c.ip == c.iend) return false;
    *c.op++ = *c.ip++;
    flags_ >>= 1;
    return true;
  }
  if (pendingLow_ < 0) {
    if (c.ip == c.iend) return false;
    pendingLow_ = *c.ip++;
  }
  if (c.ip == c.iend) return false;
  unsigned b2 = *c.ip++;
  unsigned pos = static_cast<unsigned>(pendingLow_) | ((b2 & 0xF0) << 4);
  pendingLow_ = -1;
  flags_ >>= 1;
  size_t done = static_cast<size_t>(c.op - c.out);
  matchDist_ = static_cast<unsigned>((kRingStart + total_ + done - pos - 1) & kRingMask) + 1;
  matchLeft_ = (b2 & 0x0F) + kMinMatch;
  return true;
}

SzddStep SzddDecoder::Decode(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  Cursor c{in, in + inSize, out, out, out + outSize};
  for (;;) {
    if (!FinishMatch(c)) break;
    if (!(flags_ & kFlagMarker)) DecodeGroups(c);
    if (!DecodeItem(c)) break;
  }
  size_t produced = static_cast<size_t>(c.op - out);
  SyncRing(out, produced);
  total_ += produced;
  return {static_cast<size_t>(c.ip - in), produced};
}

// --- Encoder -------------------------------------------------------------------

namespace {

// Match finder: for each three-byte hash a binary search tree of the
// positions in the window, ordered by their next 18 bytes, newest at the
// root. Entering a position walks down from the root, meets the longest
// match on the way and makes the position the new root. Positions are
// output indexes modulo 2^32; "none" is written as a position half that
// range away from the writer, and the heads are brought back within reach
// once per block, so no stale entry can pose as a near one.
//
// The trees hold each window's positions as a treap would (ordered by the
// bytes, newest above), so trees built afresh from the window before a
// position find there what trees built since the start find: a finder can
// start anywhere once it has entered the window before its first position.
class MatchFinder {
 public:
  static constexpr unsigned kHashBits = 15;
  static constexpr size_t kNodes = 2 * kWindow;  // a node's slot outlives its use
  static constexpr int kMaxVisits = 64;

  // Forgets every position, as seen from position at on.
  void Reset(uint32_t at) { std::fill(head_.begin(), head_.end(), at + kHalf); }

  // Heads more than a window old are as good as none (written without a
  // branch, so that the loop runs several heads at a time).
  void ForgetOldHeads(uint32_t now, uint32_t age) {
    for (uint32_t& h : head_) h = now - h > age ? now + kHalf : h;
  }

  // Enters the position cur (output index at, limit bytes to compare) into
  // its tree; returns the longest match met and leaves its distance - 1 in
  // *distance.
  uint32_t Enter(const uint8_t* cur, size_t limit, uint32_t at, uint16_t* distance) {
    uint32_t* slot = &head_[Hash3(cur)];
    uint32_t node = *slot;
    *slot = at;
    uint32_t* smaller = &nodes_[2 * (at % kNodes)];  // where the next smaller node goes
    uint32_t* larger = smaller + 1;
    size_t lenSmaller = 0, lenLarger = 0;  // what those sides share with cur
    uint32_t best = 0;
    for (int visits = kMaxVisits;; --visits) {
      const uint32_t dist = at - node;
      if (visits == 0 || dist - 1 >= kWindow) {
        *smaller = *larger = at + kHalf;
        return best;
      }
      uint32_t* pair = &nodes_[2 * (node % kNodes)];
      const uint8_t* p = cur - dist;
      size_t known = std::min(lenSmaller, lenLarger);
      size_t len = known + MatchLength(p + known, cur + known, limit - known);
      if (len > best) {
        best = static_cast<uint32_t>(len);
        *distance = static_cast<uint16_t>(dist - 1);
        if (len == limit) {  // cur takes the node's place
          *smaller = pair[0];
          *larger = pair[1];
          return best;
        }
      }
      if (p[len] < cur[len]) {
        *smaller = node;
        smaller = pair + 1;
        node = *smaller;
        lenSmaller = len;
      } else {
        *larger = node;
        larger = pair;
        node = *larger;
        lenLarger = len;
      }
    }
  }

 private:
  static constexpr uint32_t kHalf = 0x80000000u;

  static uint32_t Hash3(const uint8_t* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);  // Knuth's multiplier: 2^32 / golden ratio
  }

  static size_t MatchLength(const uint8_t* p, const uint8_t* q, size_t maxLen) {
    static_assert(std::endian::native == std::endian::little);
    for (size_t n = 0; n < maxLen; n += 8) {
      uint64_t a, b;
      std::memcpy(&a, p + n, 8);
      std::memcpy(&b, q + n, 8);
      if (uint64_t x = a ^ b) return std::min(maxLen, n + std::countr_zero(x) / 8);
    }
    return maxLen;
  }

  std::vector<uint32_t> head_ = std::vector<uint32_t>(size_t{1} << kHashBits, kHalf);
  std::vector<uint32_t> nodes_ = std::vector<uint32_t>(2 * kNodes, kHalf);  // smaller, larger
};

// Runs first and second at the same time where threads are to be had, or
// one after the other (also when no thread can be started); the result is
// the same either way. Neither may throw: they only work on memory that is
// already there.
template <typename First, typename Second>
void RunBoth(First first, Second second) {
  static_assert(noexcept(first()) && noexcept(second()));
#if QS_HAS_THREADS
  std::thread helper;
  try {
    helper = std::thread(second);
  } catch (const std::system_error&) {  // no thread to be had: second runs here
  }
  first();
  if (helper.joinable()) {
    helper.join();
    return;
  }
#else
  first();
#endif
  second();
}

}  // namespace

struct SzddEncoder::State {
  static constexpr size_t kBlock = 1 << 16;
  static constexpr size_t kHistory = kWindow;
  static constexpr size_t kLook = kMaxMatch;
  static constexpr size_t kLaneBlocks = 4;
  static constexpr size_t kLaneSpan = kLaneBlocks * kBlock;
  static constexpr size_t kRound = 2 * kLaneSpan;  // two lanes, searched side by side
  static constexpr size_t kCapacity = kHistory + kRound + kLook;
  static constexpr size_t kPad = 32;  // over-read room of MatchLength

  std::vector<uint8_t> buf = std::vector<uint8_t>(kCapacity + kPad, ' ');
  int64_t base = -static_cast<int64_t>(kHistory);  // output index of buf[0]
  size_t fill = kHistory;  // bytes of buf in use: spaces before the data, then data
  size_t hashPos = 0;      // next position to enter into the trees
  size_t parsePos = kHistory;  // next position to cover with an item

  // The search and cover of a run of blocks. Its tables are indexed from
  // the lane's first position (cost from the block's); each entry is written
  // before it is read, so none is cleared.
  struct Lane {
    size_t begin = 0, end = 0;
    std::unique_ptr<uint8_t[]> length{new uint8_t[kLaneSpan]};
    std::unique_ptr<uint16_t[]> distance{new uint16_t[kLaneSpan]};
    std::unique_ptr<uint8_t[]> choice{new uint8_t[kLaneSpan]};
    std::unique_ptr<uint32_t[]> cost{new uint32_t[kBlock + kMaxMatch + 1]};
  };
  Lane lanes[2];
  // The first lane of a round goes on with the trees that ended the last
  // round; the second lane's trees start afresh from the window before it.
  MatchFinder finders[2];
  int warm = 0;

  // Encoded bytes not yet handed out. The flag byte at flagAt still takes
  // items while flagBit < 0x100; bytes from it on are not final until then.
  std::unique_ptr<uint8_t[]> pending{new uint8_t[kRound * 9 / 8 + 64]};
  size_t pendStart = 0, pendEnd = 0, flagAt = 0;
  unsigned flagBit = kFlagMarker;
  bool flushed = false;

  size_t Final() const { return flagBit < kFlagMarker ? flagAt : pendEnd; }

  void Put(bool literal, const uint8_t* bytes) {
    if (flagBit == kFlagMarker) {
      flagAt = pendEnd++;
      pending[flagAt] = 0;
      flagBit = 1;
    }
    if (literal) {
      pending[flagAt] |= static_cast<uint8_t>(flagBit);
      pending[pendEnd++] = bytes[0];
    } else {
      pending[pendEnd++] = bytes[0];
      pending[pendEnd++] = bytes[1];
    }
    flagBit <<= 1;
  }

  // Keeps the unfinished group at the front of the pending buffer.
  void CompactPending() {
    std::memmove(pending.get(), pending.get() + pendStart, pendEnd - pendStart);
    flagAt -= std::min(flagAt, pendStart);
    pendEnd -= pendStart;
    pendStart = 0;
  }

  uint32_t At(size_t i) const { return static_cast<uint32_t>(base + static_cast<int64_t>(i)); }

  // Enters position i into the finder's trees and returns the longest match
  // met there, leaving its distance - 1 in *distance. The last two
  // positions of the data are not entered.
  uint32_t Enter(MatchFinder& finder, size_t i, uint16_t* distance) const {
    if (i + 2 >= fill) return 0;
    return finder.Enter(&buf[i], std::min<size_t>(kMaxMatch, fill - i), At(i), distance);
  }

  // Enters the window before the lane's block into fresh trees.
  void Prime(MatchFinder& finder, size_t begin) const {
    const size_t from = begin - std::min<size_t>(begin, kWindow);
    finder.Reset(At(from));
    uint16_t unused;
    for (size_t i = from; i < begin; ++i) Enter(finder, i, &unused);
  }

  // Enters the block [begin, end) into the trees and notes the longest
  // match at each position; the spaces before the data are entered but not
  // matched from.
  void FindMatches(Lane& lane, MatchFinder& finder, size_t begin, size_t end) const {
    for (size_t i = begin; i < end; ++i) {
      const size_t j = i - lane.begin;
      const uint32_t len = Enter(finder, i, &lane.distance[j]);
      const bool data = base + static_cast<int64_t>(i) >= 0;
      lane.length[j] = data && len >= kMinMatch ? static_cast<uint8_t>(len) : 0;
    }
    finder.ForgetOldHeads(At(end), kWindow + kBlock);
  }

  // Cheapest cover of every position of the block [begin, end), in bits,
  // from the back: a literal costs 9, a match 17, and of equal costs the
  // longer match wins. Items may run past the end.
  static void ChooseCover(Lane& lane, size_t begin, size_t end) {
    uint32_t* cost = lane.cost.get();  // indexed from begin
    const size_t span = end - begin;
    std::fill(cost + span, cost + span + kMaxMatch + 1, 0u);
    for (size_t k = span; k-- > 0;) {
      const size_t j = begin + k - lane.begin;
      uint32_t best = cost[k + 1] + 9;
      uint8_t pick = 0;
      for (unsigned len = kMinMatch; len <= lane.length[j]; ++len) {
        uint32_t c = cost[k + len] + 17;
        if (c <= best) {
          best = c;
          pick = static_cast<uint8_t>(len);
        }
      }
      cost[k] = best;
      lane.choice[j] = pick;
    }
  }

  // Searches and covers the lane block by block.
  void Search(Lane& lane, MatchFinder& finder) const {
    for (size_t begin = lane.begin; begin < lane.end; begin += kBlock) {
      const size_t end = std::min(begin + kBlock, lane.end);
      FindMatches(lane, finder, begin, end);
      ChooseCover(lane, begin, end);
    }
  }

  // Writes the chosen items from parsePos on, up to the lane's end or just
  // past it.
  void EmitCover(const Lane& lane) {
    size_t i = parsePos;
    while (i < lane.end) {
      size_t j = i - lane.begin;
      if (lane.choice[j] == 0) {
        Put(true, &buf[i]);
        ++i;
        continue;
      }
      unsigned len = lane.choice[j];
      int64_t source = base + static_cast<int64_t>(i) - (lane.distance[j] + 1);
      unsigned pos = RingPosition(source);
      // b1: ring position low byte; b2: its high nibble, then length - 3.
      uint8_t code[2] = {static_cast<uint8_t>(pos & 0xFF),
                         static_cast<uint8_t>(((pos >> 4) & 0xF0) | (len - kMinMatch))};
      Put(false, code);
      i += len;
    }
    parsePos = i;
  }

  // Keeps one window of history before the next position to hash.
  void Slide() {
    if (hashPos <= kHistory) return;
    size_t shift = hashPos - kHistory;
    std::memmove(buf.data(), buf.data() + shift, fill - shift);
    fill -= shift;
    hashPos -= shift;
    parsePos -= shift;
    base += static_cast<int64_t>(shift);
  }

  // Hashes, searches and parses the positions from hashPos on, a round of
  // blocks or up to the end of what the buffer holds. The round's two lanes
  // are searched and covered side by side; what comes out is what one block
  // after the other would give.
  void Round() {
    CompactPending();
    Lane& first = lanes[0];
    Lane& second = lanes[1];
    first.begin = hashPos;
    first.end = std::min(first.begin + kLaneSpan, fill);
    second.begin = first.end;
    second.end = std::min(second.begin + kLaneSpan, fill);
    MatchFinder& going = finders[warm];
    MatchFinder& fresh = finders[1 - warm];
    auto doFirst = [&]() noexcept {
      Search(first, going);
      EmitCover(first);  // while the second lane may still be at work
    };
    if (second.begin == second.end) {
      doFirst();
    } else {
      RunBoth(doFirst, [&]() noexcept {
        Prime(fresh, second.begin);
        Search(second, fresh);
      });
      EmitCover(second);
      warm = 1 - warm;
    }
    hashPos = second.end;
    Slide();
  }
};

SzddEncoder::SzddEncoder() : s_(std::make_unique<State>()) {}
SzddEncoder::~SzddEncoder() = default;

bool SzddEncoder::finished() const { return s_->flushed && s_->pendStart == s_->pendEnd; }

SzddStep SzddEncoder::Encode(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize,
                             bool last) {
  State& s = *s_;
  SzddStep step;
  for (;;) {
    bool progress = false;
    size_t ready = std::min(s.Final() - s.pendStart, outSize - step.produced);
    if (ready) {
      std::memcpy(out + step.produced, s.pending.get() + s.pendStart, ready);
      s.pendStart += ready;
      step.produced += ready;
      progress = true;
    }
    size_t take = std::min(State::kCapacity - s.fill, inSize - step.consumed);
    if (take) {
      std::memcpy(s.buf.data() + s.fill, in + step.consumed, take);
      s.fill += take;
      step.consumed += take;
      progress = true;
    }
    const bool allIn = last && step.consumed == inSize;
    const bool drained = s.pendStart == s.Final();
    if (drained && !s.flushed) {
      if (s.fill - s.hashPos >= State::kRound + State::kLook || (allIn && s.hashPos < s.fill)) {
        s.Round();
        progress = true;
      } else if (allIn) {
        s.flushed = true;
        s.flagBit = kFlagMarker;  // the last group is final as it stands
        progress = true;
      }
    }
    if (!progress) break;
  }
  return step;
}

}  // namespace qs
