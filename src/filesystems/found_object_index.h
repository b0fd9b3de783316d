// An ordered index of found objects by one key (identifier, parent identifier or position).
// Entries are ordered by key and, for equal keys, by a sequence number that grows with every
// insertion, so equal keys keep the order in which they were added.
//
// The entries live in sorted chunks of at most kChunkCapacity. A million objects cost 16 or 24
// bytes each here instead of a tree node each, and the common case of an analyser adding in
// increasing order is an append to the last chunk. An insertion elsewhere moves at most one
// chunk's entries. The key is stored with the entry, so the index stays ordered whatever is
// later written into the record.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct FoundObject;

template <typename Key>
class FoundObjectIndex {
 public:
  struct Entry {
    Key key;
    uint32_t seq;
    FoundObject* record;
  };
  // The entries just before and just after an inserted one; null at either end.
  struct Neighbours {
    const Entry* previous = nullptr;
    const Entry* next = nullptr;
  };

  static constexpr size_t kChunkCapacity = 512;

  void Clear() {
    std::vector<Chunk>().swap(chunks_);
    count_ = 0;
  }
  size_t Size() const { return count_; }

  // Inserts after every entry that orders before or equal to (key, seq). Either the entry is
  // inserted or, when memory runs out, the index is left as it was and bad_alloc is thrown.
  Neighbours Insert(Key key, uint32_t seq, FoundObject* record) {
    const Entry entry{key, seq, record};
    // An entry that orders after the last one (keys added in order) needs no search.
    const bool afterLast = !chunks_.empty() && NotAfter(chunks_.back().back(), key, seq);
    Place place = afterLast ? Place{chunks_.size(), 0} : UpperBound(key, seq);
    if (place.chunk == chunks_.size() && !chunks_.empty())
      place = {chunks_.size() - 1, chunks_.back().size()};
    const bool atEnd =
        place.chunk + 1 >= chunks_.size() && (chunks_.empty() || place.offset == kChunkCapacity);
    if (atEnd) {
      // Appending in order fills every chunk completely.
      AppendChunk(entry);
      place = {chunks_.size() - 1, 0};
    } else {
      if (chunks_[place.chunk].size() == kChunkCapacity) place = Split(place);
      // Every chunk has its full capacity reserved, so this cannot allocate.
      Chunk& chunk = chunks_[place.chunk];
      chunk.insert(chunk.begin() + place.offset, entry);
    }
    ++count_;
    return NeighboursOf(place);
  }

  // Removes the entry (key, seq); false when there is none.
  bool Remove(Key key, uint32_t seq) {
    Place place = LowerBound(key, seq);
    const Entry* found = At(place);
    if (!found || found->key != key || found->seq != seq) return false;
    Chunk& chunk = chunks_[place.chunk];
    chunk.erase(chunk.begin() + place.offset);
    if (chunk.empty()) chunks_.erase(chunks_.begin() + place.chunk);
    --count_;
    return true;
  }

  // The first entry with the key, or null.
  const Entry* First(Key key) const {
    const Entry* found = At(LowerBound(key, 0));
    return found && found->key == key ? found : nullptr;
  }

  // The entry after (key, seq) when it has the same key, or null.
  const Entry* Next(Key key, uint32_t seq) const {
    const Entry* found = At(UpperBound(key, seq));
    return found && found->key == key ? found : nullptr;
  }

  // Calls visit(entry) for every entry with the key, in order, until it returns false.
  template <typename Visit>
  void ForEach(Key key, Visit visit) const {
    for (Place place = LowerBound(key, 0); const Entry* entry = At(place); place = Step(place)) {
      if (entry->key != key || !visit(*entry)) return;
    }
  }

  // Calls visit(entry) for every entry, in order.
  template <typename Visit>
  void ForAll(Visit visit) const {
    for (const Chunk& chunk : chunks_)
      for (const Entry& entry : chunk) visit(entry);
  }

  // Replaces the contents with entries already ordered by (key, seq), in full chunks.
  void Assign(const std::vector<Entry>& ordered) {
    std::vector<Chunk> chunks;
    chunks.reserve((ordered.size() + kChunkCapacity - 1) / kChunkCapacity);
    for (size_t first = 0; first < ordered.size(); first += kChunkCapacity) {
      size_t last = std::min(ordered.size(), first + kChunkCapacity);
      Chunk chunk;
      chunk.reserve(kChunkCapacity);
      chunk.assign(ordered.begin() + first, ordered.begin() + last);
      chunks.push_back(std::move(chunk));
    }
    chunks_.swap(chunks);
    count_ = ordered.size();
  }

 private:
  using Chunk = std::vector<Entry>;
  // chunk == chunks_.size() stands for the end.
  struct Place {
    size_t chunk;
    size_t offset;
  };

  static bool Before(const Entry& entry, Key key, uint32_t seq) {
    return entry.key < key || (entry.key == key && entry.seq < seq);
  }
  static bool NotAfter(const Entry& entry, Key key, uint32_t seq) {
    return entry.key < key || (entry.key == key && entry.seq <= seq);
  }

  // The first entry that orders after (key, seq).
  Place UpperBound(Key key, uint32_t seq) const {
    auto chunk = std::partition_point(chunks_.begin(), chunks_.end(),
                                      [&](const Chunk& c) { return NotAfter(c.back(), key, seq); });
    if (chunk == chunks_.end()) return {chunks_.size(), 0};
    auto entry = std::partition_point(chunk->begin(), chunk->end(),
                                      [&](const Entry& e) { return NotAfter(e, key, seq); });
    return {static_cast<size_t>(chunk - chunks_.begin()),
            static_cast<size_t>(entry - chunk->begin())};
  }

  // The first entry that does not order before (key, seq).
  Place LowerBound(Key key, uint32_t seq) const {
    auto chunk = std::partition_point(chunks_.begin(), chunks_.end(),
                                      [&](const Chunk& c) { return Before(c.back(), key, seq); });
    if (chunk == chunks_.end()) return {chunks_.size(), 0};
    auto entry = std::partition_point(chunk->begin(), chunk->end(),
                                      [&](const Entry& e) { return Before(e, key, seq); });
    return {static_cast<size_t>(chunk - chunks_.begin()),
            static_cast<size_t>(entry - chunk->begin())};
  }

  const Entry* At(Place place) const {
    if (place.chunk >= chunks_.size() || place.offset >= chunks_[place.chunk].size())
      return nullptr;
    return &chunks_[place.chunk][place.offset];
  }

  Place Step(Place place) const {
    if (++place.offset < chunks_[place.chunk].size()) return place;
    return {place.chunk + 1, 0};
  }

  Neighbours NeighboursOf(Place place) const {
    Neighbours result;
    if (place.offset > 0)
      result.previous = &chunks_[place.chunk][place.offset - 1];
    else if (place.chunk > 0)
      result.previous = &chunks_[place.chunk - 1].back();
    result.next = At(Step(place));
    return result;
  }

  // A new last chunk holding the entry; the count is the caller's.
  void AppendChunk(const Entry& entry) {
    Chunk chunk;
    chunk.reserve(kChunkCapacity);
    chunk.push_back(entry);
    chunks_.push_back(std::move(chunk));
  }

  // Moves the upper half of a full chunk into a new chunk after it; returns where the
  // insertion point now lies. Allocates before it changes anything.
  Place Split(Place place) {
    Chunk upper;
    upper.reserve(kChunkCapacity);
    chunks_.insert(chunks_.begin() + place.chunk + 1, Chunk());
    Chunk& lower = chunks_[place.chunk];
    const size_t half = lower.size() / 2;
    upper.assign(lower.begin() + half, lower.end());
    lower.resize(half);
    chunks_[place.chunk + 1].swap(upper);
    if (place.offset <= half) return place;
    return {place.chunk + 1, place.offset - half};
  }

  std::vector<Chunk> chunks_;
  size_t count_ = 0;
};
