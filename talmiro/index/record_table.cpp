#include "talmiro/index/record_table.hpp"

#include "index/index_header.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace talmiro {

namespace {

static_assert(std::endian::native == std::endian::little, "the .tix is read in place as little-endian");

constexpr indexing::IndexKind tix_kind{"TALMTIX\n", 1, "talmiro"};
constexpr std::uint32_t flag_fastq = 1;
constexpr std::uint32_t flag_bgzf = 2;
// The common header, then the number of records, the size of the names and the size of the text.
constexpr std::size_t tix_header_size = indexing::index_header_size + 3 * 8;
static_assert(tix_header_size == 64, "the entries after the header stay 8-byte aligned in the mapping");

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

}  // namespace

std::string_view index_name(std::string_view header) { return first_word(header); }

std::string_view RecordTable::name_of(const IndexEntry& entry) const {
    if (entry.name_offset > names_.size() || entry.name_length > names_.size() - entry.name_offset) {
        return {};
    }
    return names_.substr(static_cast<std::size_t>(entry.name_offset), entry.name_length);
}

std::span<const IndexEntry> RecordTable::named(std::string_view name) const {
    const auto first =
        std::lower_bound(entries_.begin(), entries_.end(), name,
                         [&](const IndexEntry& entry, std::string_view wanted) { return name_of(entry) < wanted; });
    const auto last =
        std::upper_bound(first, entries_.end(), name,
                         [&](std::string_view wanted, const IndexEntry& entry) { return wanted < name_of(entry); });
    return {first, last};
}

std::span<const IndexEntry> RecordTable::beginning_with(std::string_view prefix) const {
    const auto first =
        std::lower_bound(entries_.begin(), entries_.end(), prefix,
                         [&](const IndexEntry& entry, std::string_view wanted) { return name_of(entry) < wanted; });
    const auto last = std::partition_point(first, entries_.end(),
                                           [&](const IndexEntry& entry) { return name_of(entry).starts_with(prefix); });
    return {first, last};
}

void RecordTableBuilder::expect(std::size_t records, std::size_t name_bytes) {
    entries_.reserve(records);
    names_.reserve(name_bytes);
}

void RecordTableBuilder::add(std::string_view name, std::uint64_t offset, std::uint64_t length) {
    entries_.push_back(IndexEntry{offset, length, names_.size(), static_cast<std::uint32_t>(name.size()), 0});
    names_.append(name);
}

auto RecordTableBuilder::sorted_places() const -> LargeVector<Placed> {
    // Names of reads share long beginnings ("SRR1234567.", an instrument's run and lane): the
    // sort looks at the 8 bytes after what every name shares first, and at whole names only
    // where those agree.
    const RecordTable table = view();
    std::size_t shared = entries_.empty() ? 0 : table.name_of(entries_.front()).size();
    for (const IndexEntry& entry : entries_) {
        const std::string_view first = table.name_of(entries_.front());
        const std::string_view name = table.name_of(entry);
        shared = std::min({shared, name.size()});
        shared = static_cast<std::size_t>(
            std::mismatch(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(shared), name.begin()).first -
            first.begin());
    }
    LargeVector<Placed> keyed(entries_.size());
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        keyed[index] = {sort_key(table.name_of(entries_[index]), shared), index};
    }
    sort_by_key(keyed);
    // Names alike in their 8 bytes are put in order by the whole name, then by place.
    for (std::size_t first = 0; first < keyed.size();) {
        std::size_t last = first + 1;
        while (last < keyed.size() && keyed[last].key == keyed[first].key) {
            ++last;
        }
        if (last - first > 1) {
            std::sort(keyed.begin() + static_cast<std::ptrdiff_t>(first),
                      keyed.begin() + static_cast<std::ptrdiff_t>(last), [&](const Placed& a, const Placed& b) {
                          const IndexEntry& left = entries_[a.index];
                          const IndexEntry& right = entries_[b.index];
                          const int order = table.name_of(left).compare(table.name_of(right));
                          return order != 0 ? order < 0 : left.offset < right.offset;
                      });
        }
        first = last;
    }
    return keyed;
}

void RecordTableBuilder::sort() {
    // Gathered into a new array rather than permuted in place: these loads do not wait on each
    // other, where following the permutation's cycles would be one cache miss after another.
    const LargeVector<Placed> places = sorted_places();
    LargeVector<IndexEntry> sorted(entries_.size());
    for (std::size_t at = 0; at < places.size(); ++at) {
        sorted[at] = entries_[places[at].index];
    }
    entries_.swap(sorted);
}

void RecordTableBuilder::in_order(const std::function<void(std::span<const IndexEntry>)>& use) const {
    const LargeVector<Placed> places = sorted_places();
    std::vector<IndexEntry> stretch;
    constexpr std::size_t stretch_size = 4096;
    stretch.reserve(stretch_size);
    for (const Placed& place : places) {
        stretch.push_back(entries_[place.index]);
        if (stretch.size() == stretch_size) {
            use(stretch);
            stretch.clear();
        }
    }
    use(stretch);
}

void write_tix(io::OutputFile& output, const TixFacts& facts, const RecordTableBuilder& table) {
    std::string header;
    indexing::ByteWriter writer(header);
    const std::uint32_t flags = (facts.format == RecordFormat::fastq ? flag_fastq : 0) | (facts.bgzf ? flag_bgzf : 0);
    indexing::write_header(writer, tix_kind, {flags, facts.stamp});
    writer.put(static_cast<std::uint64_t>(table.entries().size()));
    writer.put(static_cast<std::uint64_t>(table.names().size()));
    writer.put(facts.text_size);
    output.write(header);
    // The entries as they lie in memory: they are read in place from the mapping, which the
    // static_assert above holds to little-endian.
    table.in_order([&](std::span<const IndexEntry> entries) {
        output.write({reinterpret_cast<const char*>(entries.data()), entries.size_bytes()});
    });
    output.write(table.names());
}

std::optional<TixFile> TixFile::open(const std::string& path, std::string& why_not) {
    std::optional<io::IoError> error;
    std::optional<io::MappedFile> file = io::MappedFile::open(path, error, io::MappedFile::Use::lookups);
    if (!file) {
        why_not = error->describe();
        return std::nullopt;
    }
    const std::string_view bytes = file->bytes();
    if (bytes.size() < tix_header_size) {
        why_not = "it is cut short";
        return std::nullopt;
    }
    indexing::ByteReader reader(bytes);
    const std::optional<indexing::IndexHeader> header = indexing::read_header(reader, tix_kind, why_not);
    if (!header) {
        return std::nullopt;
    }
    TixFacts facts;
    facts.stamp = header->stamp;
    facts.format = (header->flags & flag_fastq) != 0 ? RecordFormat::fastq : RecordFormat::fasta;
    facts.bgzf = (header->flags & flag_bgzf) != 0;
    facts.records = reader.take<std::uint64_t>();
    const auto names_size = reader.take<std::uint64_t>();
    facts.text_size = reader.take<std::uint64_t>();
    const std::uint64_t room = bytes.size() - tix_header_size;
    if (facts.records > room / sizeof(IndexEntry) || names_size != room - facts.records * sizeof(IndexEntry)) {
        why_not = "its size is not what its header says";
        return std::nullopt;
    }
    return TixFile(std::move(*file), facts);
}

RecordTable TixFile::table() const {
    const std::string_view bytes = file_.bytes();
    const std::size_t names_at = tix_header_size + facts_.records * sizeof(IndexEntry);
    // The mapping is page-aligned and the header 64 bytes, so the entries are aligned too.
    return {
        {reinterpret_cast<const IndexEntry*>(bytes.data() + tix_header_size), static_cast<std::size_t>(facts_.records)},
        bytes.substr(names_at)};
}

}  // namespace talmiro
