// A hash table of the names of one folder, found without regard to ASCII
// letter case, as Windows finds names.
//
// It holds numbers (ids), not names: the caller keeps the names where they
// already are (a listing's entries, one block of text) and hands over a
// function that gives the name of an id. A slot is 8 bytes (the name's hash
// and its id), the table at most half full: about 16 bytes a name, and no
// allocation per name. A lookup hashes the name once and compares only the
// names of its own hash, so it costs the same however long the names'
// common beginnings are (a sorted list compares "report-0001234.txt" with
// its neighbours character by character).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/text_rules.h"

namespace tolvex {

// A hash of the name with A-Z taken as a-z: names that differ only in
// ASCII letter case hash alike. Eight bytes at a time (every name of every
// folder read is hashed once, most of them longer than eight bytes).
inline uint64_t FoldAsciiUpperWord(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  // Sets 0x20 in each byte from 'A' to 'Z': its low seven bits are at
  // least 'A' and at most 'Z', and its own top bit is clear.
  const uint64_t low7 = word & (0x7F * kOnes);
  const uint64_t at_least_a = low7 + (0x80 - 'A') * kOnes;
  const uint64_t above_z = low7 + (0x80 - 'Z' - 1) * kOnes;
  const uint64_t upper = (at_least_a ^ above_z) & ~word & (0x80 * kOnes);
  return word | (upper >> 2);
}

inline uint32_t CaselessNameHash(std::string_view name) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
  const auto mix = [&hash](uint64_t word) {
    hash = (hash ^ FoldAsciiUpperWord(word)) * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 32;
  };
  const size_t whole = name.size() & ~size_t{7};
  for (size_t at = 0; at < whole; at += 8) {
    uint64_t word;
    std::memcpy(&word, name.data() + at, 8);
    mix(word);
  }
  if (whole < name.size()) {
    uint64_t word = 0;
    for (size_t at = whole; at < name.size(); ++at) {
      word |= static_cast<uint64_t>(static_cast<unsigned char>(name[at])) << (8 * (at - whole));
    }
    mix(word);
  }
  hash *= 0xC4CEB9FE1A85EC53ull;
  return static_cast<uint32_t>(hash >> 32);
}

class CaselessNameTable {
 public:
  // Empties the table and makes room for `expected` names.
  void Reset(size_t expected) {
    size_t capacity = 8;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.assign(capacity, 0);
    used_ = 0;
  }

  // Adds `id`, whose name is `name`. REQUIRES: id < 0xFFFFFFFE.
  void Insert(uint32_t id, std::string_view name) {
    if (slots_.empty() || 2 * (used_ + 1) > slots_.size()) Grow();
    Place(CaselessNameHash(name), id);
  }

  // Insert, and tells whether a name equal to `name` when ASCII letter case
  // is ignored was there already: one walk of the slots for both.
  template <typename NameOf>
  bool InsertAndTellAlike(uint32_t id, std::string_view name, NameOf name_of) {
    if (slots_.empty() || 2 * (used_ + 1) > slots_.size()) Grow();
    const uint32_t hash = CaselessNameHash(name);
    const size_t mask = slots_.size() - 1;
    bool alike = false;
    size_t at = hash & mask;
    for (; slots_[at] != 0; at = (at + 1) & mask) {
      const uint32_t stored = static_cast<uint32_t>(slots_[at]);
      if (!alike && stored != kRemoved && static_cast<uint32_t>(slots_[at] >> 32) == hash) {
        alike = CompareAsciiCaseless(name_of(stored - 1), name) == 0;
      }
    }
    slots_[at] = (static_cast<uint64_t>(hash) << 32) | (id + 1);
    ++used_;
    return alike;
  }

  // Calls visit(id) for every id whose name equals `name` when ASCII letter
  // case is ignored.
  template <typename NameOf, typename Visit>
  void ForEachMatch(std::string_view name, NameOf name_of, Visit visit) const {
    if (slots_.empty()) return;
    const uint32_t hash = CaselessNameHash(name);
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const uint64_t slot = slots_[at];
      if (slot == 0) return;
      const uint32_t stored = static_cast<uint32_t>(slot);
      if (stored == kRemoved || static_cast<uint32_t>(slot >> 32) != hash) continue;
      // Most names are asked for as they are stored: one memcmp.
      const std::string_view stored_name = name_of(stored - 1);
      if (stored_name == name || CompareAsciiCaseless(stored_name, name) == 0) visit(stored - 1);
    }
  }

  // Takes `id` (whose name is `name`) out; its slot stays taken until the
  // table is rebuilt.
  void Remove(uint32_t id, std::string_view name) {
    if (slots_.empty()) return;
    const uint32_t hash = CaselessNameHash(name);
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask; slots_[at] != 0; at = (at + 1) & mask) {
      if (static_cast<uint32_t>(slots_[at]) == id + 1) {
        slots_[at] = (slots_[at] & ~uint64_t{0xFFFFFFFF}) | kRemoved;
        return;
      }
    }
  }

  size_t memory_bytes() const { return slots_.capacity() * sizeof(uint64_t); }

 private:
  static constexpr uint32_t kRemoved = 0xFFFFFFFF;

  void Place(uint32_t hash, uint32_t id) {
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = (static_cast<uint64_t>(hash) << 32) | (id + 1);
    ++used_;
  }

  // Twice the room, without the removed ids.
  void Grow() {
    std::vector<uint64_t> old;
    old.swap(slots_);
    Reset(old.size());  // twice the old capacity: at most half full
    for (const uint64_t slot : old) {
      const uint32_t stored = static_cast<uint32_t>(slot);
      if (slot != 0 && stored != kRemoved) {
        Place(static_cast<uint32_t>(slot >> 32), stored - 1);
      }
    }
  }

  std::vector<uint64_t> slots_;  // hash << 32 | (id + 1); 0 is free
  size_t used_ = 0;              // slots taken, removed ones included
};

}  // namespace tolvex
