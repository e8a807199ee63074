#include "talmiro/index/record_table.hpp"

#include <algorithm>
#include <array>
#include <numeric>
#include <span>
#include <utility>

namespace talmiro {

namespace {

// Up to 8 bytes of `name` from `from` on, the first most significant, so that comparing keys
// compares those bytes as memcmp does (a shorter name padded with zeros sorts first).
std::uint64_t sort_key(std::string_view name, std::size_t from) {
    std::uint64_t key = 0;
    for (std::size_t index = 0; index < 8; ++index) {
        const std::size_t at = from + index;
        key = (key << 8) | (at < name.size() ? static_cast<unsigned char>(name[at]) : 0u);
    }
    return key;
}

// By key alone, in place: a radix sort from the most significant byte that swaps each entry
// into its byte's bucket and then sorts each bucket by the next byte, short runs by insertion.
// No second array: on a building run fresh memory is dearer than the swaps. Equal keys are left
// in any order; the caller puts those in order by name and place.
void sort_by_key(std::span<SortedRecord> items, int shift = 56) {
    constexpr std::size_t by_insertion = 32;
    const auto byte_of = [&shift](const SortedRecord& item) {
        return static_cast<std::size_t>(item.key >> shift) & 0xff;
    };
    while (items.size() > by_insertion) {
        std::array<std::size_t, 257> starts{};
        for (const SortedRecord& item : items) {
            ++starts[byte_of(item) + 1];
        }
        if (std::find(starts.begin(), starts.end(), items.size()) != starts.end()) {
            if (shift == 0) {
                return;  // every key alike
            }
            shift -= 8;  // every key shares this byte: on to the next
            continue;
        }
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        std::array<std::size_t, 256> next{};
        std::copy(starts.begin(), starts.end() - 1, next.begin());
        for (std::size_t bucket = 0; bucket < 256; ++bucket) {
            // Each entry taken out is swapped along a cycle until one that belongs here comes back.
            while (next[bucket] < starts[bucket + 1]) {
                SortedRecord item = items[next[bucket]];
                for (std::size_t its = byte_of(item); its != bucket; its = byte_of(item)) {
                    std::swap(item, items[next[its]++]);
                }
                items[next[bucket]++] = item;
            }
        }
        if (shift > 0) {
            for (std::size_t bucket = 0; bucket < 256; ++bucket) {
                if (starts[bucket + 1] - starts[bucket] > 1) {
                    sort_by_key(items.subspan(starts[bucket], starts[bucket + 1] - starts[bucket]), shift - 8);
                }
            }
        }
        return;
    }
    for (std::size_t at = 1; at < items.size(); ++at) {
        const SortedRecord item = items[at];
        std::size_t to = at;
        for (; to > 0 && items[to - 1].key > item.key; --to) {
            items[to] = items[to - 1];
        }
        items[to] = item;
    }
}

// The first position in [first, last) where `holds` stops holding, as std::partition_point
// finds it, by positions: each probe reads one record through the checks.
template <typename Predicate>
std::size_t partition_point(std::size_t first, std::size_t last, const Predicate& holds) {
    for (std::size_t count = last - first; count > 0;) {
        const std::size_t half = count / 2;
        if (holds(first + half)) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first;
}

}  // namespace

std::size_t RecordTableBuilder::shared() const { return places_.empty() ? 0 : shared_; }

std::string_view index_name(std::string_view header) { return first_word(header); }

void RecordTable::check(const void* start, std::size_t length) const {
    if (file_ != nullptr) {
        file_->check_bytes(start, length);
    }
}

void RecordTable::damaged(const std::string& what) const {
    throw indexing::cannot_be_used(file_ != nullptr ? file_->path() : "the record table",
                                   "it is damaged (" + what + ")");
}

const RecordPlace& RecordTable::place(std::uint64_t record) const {
    if (record >= parts_.places.size()) {
        damaged("a record number past the last");
    }
    const RecordPlace& found = parts_.places[static_cast<std::size_t>(record)];
    check(&found, sizeof found);
    return found;
}

const SortedRecord& RecordTable::sorted_at(std::size_t position) const {
    const SortedRecord& sorted = parts_.sorted[position];
    check(&sorted, sizeof sorted);
    return sorted;
}

std::string_view RecordTable::name_of(std::uint64_t record) const {
    const std::uint64_t start = place(record).name_start;
    const std::uint64_t end = record + 1 < size() ? place(record + 1).name_start : parts_.names.size();
    if (start > end || end > parts_.names.size()) {
        damaged("a name past the end of the names");
    }
    const std::string_view name =
        parts_.names.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    check(name.data(), name.size());
    return name;
}

LocatedRecord RecordTable::at(std::size_t position) const {
    const std::uint64_t record = sorted_at(position).record;
    const std::uint64_t offset = place(record).offset;
    const std::uint64_t end = record + 1 < size() ? place(record + 1).offset : parts_.text_size;
    if (offset >= end || end > parts_.text_size) {
        damaged("a record past the end of the text");
    }
    return {record, offset, end - offset};
}

int RecordTable::against_shared(std::string_view wanted, std::size_t length) const {
    const std::string_view first = name_of(sorted_at(0).record);
    if (first.size() < parts_.shared) {
        damaged("a name shorter than the beginning all share");
    }
    const int order = wanted.substr(0, length).compare(first.substr(0, length));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

std::size_t RecordTable::bound(std::string_view name, std::uint64_t key, bool after) const {
    // Keys decide wherever they differ; only records whose key is the name's have their whole
    // names compared, which is the one step that reads the names.
    const auto goes_before = [&](std::size_t position) {
        const SortedRecord& sorted = sorted_at(position);
        if (sorted.key != key) {
            return sorted.key < key;
        }
        const std::string_view other = name_of(sorted.record);
        return after ? !(name < other) : other < name;
    };
    return partition_point(0, size(), goes_before);
}

std::pair<std::size_t, std::size_t> RecordTable::named(std::string_view name) const {
    if (size() == 0) {
        return {0, 0};
    }
    const auto shared = static_cast<std::size_t>(parts_.shared);
    if (const int order = against_shared(name, shared); order != 0 || name.size() < shared) {
        const std::size_t at = order > 0 ? size() : 0;
        return {at, at};
    }
    const std::uint64_t key = sort_key(name, shared);
    return {bound(name, key, false), bound(name, key, true)};
}

std::pair<std::size_t, std::size_t> RecordTable::beginning_with(std::string_view prefix) const {
    if (size() == 0) {
        return {0, 0};
    }
    const auto shared = static_cast<std::size_t>(parts_.shared);
    if (const int order = against_shared(prefix, std::min(shared, prefix.size())); order != 0) {
        const std::size_t at = order > 0 ? size() : 0;
        return {at, at};
    }
    if (prefix.size() <= shared) {
        return {0, size()};  // every name begins with what they all share
    }
    const std::uint64_t key = sort_key(prefix, shared);
    const std::size_t tail = prefix.size() - shared;
    const std::uint64_t mask = tail >= 8 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> (8 * tail));
    const auto begins_so = [&](std::size_t position) {
        const SortedRecord& sorted = sorted_at(position);
        return (sorted.key & mask) == (key & mask) && (tail <= 8 || name_of(sorted.record).starts_with(prefix));
    };
    const std::size_t first = bound(prefix, key, false);
    return {first, partition_point(first, size(), begins_so)};
}

void RecordTableBuilder::expect(std::size_t records, std::size_t name_bytes) {
    places_.reserve(records);
    names_.reserve(name_bytes);
}

void RecordTableBuilder::add(std::string_view name, std::uint64_t offset) {
    // What every name shares is narrowed as each comes, while its bytes are at hand.
    if (places_.empty()) {
        shared_ = name.size();
    } else if (shared_ > 0) {
        const std::string_view first = std::string_view(names_).substr(0, std::min(shared_, name.size()));
        shared_ =
            static_cast<std::size_t>(std::mismatch(first.begin(), first.end(), name.begin()).first - first.begin());
    }
    places_.push_back(RecordPlace{offset, names_.size()});
    names_.append(name);
}

void RecordTableBuilder::add_geometry(LineGeometry geometry, std::span<const LineRun> runs, std::uint64_t length) {
    if (length < geometry_from || places_.empty()) {
        return;
    }
    geometry.record = places_.size() - 1;
    if (!runs.empty()) {
        geometry.first_run = runs_.size();
        geometry.run_count = static_cast<std::uint32_t>(runs.size());
        runs_.insert(runs_.end(), runs.begin(), runs.end());
    }
    geometry_.push_back(geometry);
}

std::string_view RecordTableBuilder::name_of(std::uint64_t record) const {
    const auto at = static_cast<std::size_t>(record);
    const std::size_t end = at + 1 < places_.size() ? places_[at + 1].name_start : names_.size();
    return std::string_view(names_).substr(places_[at].name_start, end - places_[at].name_start);
}

LargeVector<SortedRecord> RecordTableBuilder::sorted_places() const {
    // Names of reads share long beginnings ("SRR1234567.", an instrument's run and lane): the
    // sort looks at the 8 bytes after what every name shares first, and at whole names only
    // where those agree.
    const std::size_t shared = this->shared();
    // Room reserved and each entry written once: sized up front, every entry would first be
    // cleared.
    LargeVector<SortedRecord> keyed;
    keyed.reserve(places_.size());
    for (std::size_t record = 0; record < places_.size(); ++record) {
        keyed.push_back({sort_key(name_of(record), shared), record});
    }
    sort_by_key(keyed);
    // Names alike in their 8 bytes are put in order by the whole name, then by place (a
    // record's number is its place).
    for (std::size_t first = 0; first < keyed.size();) {
        std::size_t last = first + 1;
        while (last < keyed.size() && keyed[last].key == keyed[first].key) {
            ++last;
        }
        if (last - first > 1) {
            std::sort(keyed.begin() + static_cast<std::ptrdiff_t>(first),
                      keyed.begin() + static_cast<std::ptrdiff_t>(last),
                      [&](const SortedRecord& a, const SortedRecord& b) {
                          const int order = name_of(a.record).compare(name_of(b.record));
                          return order != 0 ? order < 0 : a.record < b.record;
                      });
        }
        first = last;
    }
    return keyed;
}

void RecordTableBuilder::sort() { sorted_ = sorted_places(); }

void RecordTableBuilder::in_order(const std::function<void(std::span<const SortedRecord>)>& use) const {
    use(sorted_places());
}

RecordTable RecordTableBuilder::view(std::uint64_t text_size) const {
    return RecordTable({places_, sorted_, names_, text_size, shared()});
}

}  // namespace talmiro
