#include "talmiro/index/record_table.hpp"

#include <algorithm>
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

// By key, in four passes of 16 bits from the least significant, each stable; a pass whose 16
// bits every key shares is left out. Equal keys keep their order, which is the file's.
template <typename Keyed>
void sort_by_key(LargeVector<Keyed>& items) {
    LargeVector<Keyed> other(items.size());
    std::vector<std::size_t> counts(std::size_t{1} << 16);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const Keyed& item : items) {
            ++counts[(item.key >> shift) & 0xffff];
        }
        if (!items.empty() && counts[(items.front().key >> shift) & 0xffff] == items.size()) {
            continue;
        }
        std::size_t start = 0;
        for (std::size_t& count : counts) {
            start += std::exchange(count, start);
        }
        for (const Keyed& item : items) {
            other[counts[(item.key >> shift) & 0xffff]++] = item;
        }
        items.swap(other);
    }
}

// How many leading bytes every name shares.
std::size_t shared_beginning(const RecordTableBuilder& table) {
    const std::size_t count = table.places().size();
    if (count == 0) {
        return 0;
    }
    const std::string_view first = table.name_of(0);
    std::size_t shared = first.size();
    for (std::uint64_t record = 1; record < count && shared > 0; ++record) {
        const std::string_view name = table.name_of(record);
        shared = std::min(shared, name.size());
        shared = static_cast<std::size_t>(
            std::mismatch(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(shared), name.begin()).first -
            first.begin());
    }
    return shared;
}

}  // namespace

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

std::uint64_t RecordTable::number_at(std::size_t position) const {
    const std::uint64_t& number = parts_.sorted[position];
    check(&number, sizeof number);
    return number;
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
    const std::uint64_t record = number_at(position);
    const std::uint64_t offset = place(record).offset;
    const std::uint64_t end = record + 1 < size() ? place(record + 1).offset : parts_.text_size;
    if (offset >= end || end > parts_.text_size) {
        damaged("a record past the end of the text");
    }
    return {record, offset, end - offset};
}

std::pair<std::size_t, std::size_t> RecordTable::named(std::string_view name) const {
    std::size_t first = 0;
    std::size_t last = size();
    // Lower and upper bound by hand: each probe reads one record's name through the checks.
    for (std::size_t count = last; count > 0;) {
        const std::size_t half = count / 2;
        if (name_at(first + half) < name) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    std::size_t after = first;
    for (std::size_t count = last - first; count > 0;) {
        const std::size_t half = count / 2;
        if (!(name < name_at(after + half))) {
            after += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return {first, after};
}

std::pair<std::size_t, std::size_t> RecordTable::beginning_with(std::string_view prefix) const {
    const std::size_t first = named(prefix).first;
    std::size_t after = first;
    for (std::size_t count = size() - first; count > 0;) {
        const std::size_t half = count / 2;
        if (name_at(after + half).starts_with(prefix)) {
            after += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return {first, after};
}

void RecordTableBuilder::expect(std::size_t records, std::size_t name_bytes) {
    places_.reserve(records);
    names_.reserve(name_bytes);
}

void RecordTableBuilder::add(std::string_view name, std::uint64_t offset) {
    places_.push_back(RecordPlace{offset, names_.size()});
    names_.append(name);
}

void RecordTableBuilder::add_geometry(LineGeometry geometry, std::span<const LineRun> runs) {
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

auto RecordTableBuilder::sorted_places() const -> LargeVector<Placed> {
    // Names of reads share long beginnings ("SRR1234567.", an instrument's run and lane): the
    // sort looks at the 8 bytes after what every name shares first, and at whole names only
    // where those agree.
    const std::size_t shared = shared_beginning(*this);
    LargeVector<Placed> keyed(places_.size());
    for (std::size_t record = 0; record < places_.size(); ++record) {
        keyed[record] = {sort_key(name_of(record), shared), record};
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
                      keyed.begin() + static_cast<std::ptrdiff_t>(last), [&](const Placed& a, const Placed& b) {
                          const int order = name_of(a.record).compare(name_of(b.record));
                          return order != 0 ? order < 0 : a.record < b.record;
                      });
        }
        first = last;
    }
    return keyed;
}

void RecordTableBuilder::sort() {
    const LargeVector<Placed> places = sorted_places();
    sorted_.resize(places.size());
    for (std::size_t at = 0; at < places.size(); ++at) {
        sorted_[at] = places[at].record;
    }
}

void RecordTableBuilder::in_order(const std::function<void(std::span<const std::uint64_t>)>& use) const {
    const LargeVector<Placed> places = sorted_places();
    std::vector<std::uint64_t> stretch;
    constexpr std::size_t stretch_size = 4096;
    stretch.reserve(stretch_size);
    for (const Placed& place : places) {
        stretch.push_back(place.record);
        if (stretch.size() == stretch_size) {
            use(stretch);
            stretch.clear();
        }
    }
    use(stretch);
}

RecordTable RecordTableBuilder::view(std::uint64_t text_size) const {
    return RecordTable({places_, sorted_, names_, text_size});
}

}  // namespace talmiro
