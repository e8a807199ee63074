#include "talmiro/index/tix_format.hpp"

#include "index/gzi_format.hpp"

#include <bit>

namespace talmiro {

namespace {

static_assert(std::endian::native == std::endian::little, "the .tix is read in place as little-endian");

constexpr indexing::IndexKind tix_kind{"TALMTIX\n", 2, "talmiro", tix_facts_size};
static_assert(indexing::header_size(tix_kind) % 8 == 0, "the tables after the header stay aligned in the mapping");

constexpr std::uint32_t flag_fastq = 1;
constexpr std::uint32_t flag_bgzf = 2;
constexpr std::uint32_t flag_fai = 4;
constexpr std::uint32_t flag_gzi = 8;

template <typename T>
std::string_view bytes_of(std::span<const T> items) {
    return {reinterpret_cast<const char*>(items.data()), items.size_bytes()};
}

template <typename T>
std::span<const T> items_at(std::string_view body, std::uint64_t offset, std::uint64_t count) {
    return {reinterpret_cast<const T*>(body.data() + offset), static_cast<std::size_t>(count)};
}

}  // namespace

void write_tix(io::OutputFile& output, const indexing::IndexHeader& identity, const TixFacts& facts,
               const RecordTableBuilder& table, std::string_view members) {
    indexing::IndexHeader header = identity;
    header.flags = (facts.format == RecordFormat::fastq ? flag_fastq : 0) | (facts.bgzf ? flag_bgzf : 0) |
                   (facts.fai ? flag_fai : 0) | (facts.gzi ? flag_gzi : 0);
    const Companion fai = facts.fai.value_or(Companion{});
    const Companion gzi = facts.gzi.value_or(Companion{});
    indexing::ByteWriter writer(header.facts);
    for (const std::uint64_t fact :
         {static_cast<std::uint64_t>(table.places().size()), static_cast<std::uint64_t>(table.names().size()),
          facts.text_size, static_cast<std::uint64_t>(table.geometry().size()),
          static_cast<std::uint64_t>(table.runs().size()), static_cast<std::uint64_t>(members.size()), fai.size,
          fai.checksum, gzi.size, gzi.checksum, static_cast<std::uint64_t>(table.shared())}) {
        writer.put(fact);
    }
    header.body_size = table.places().size_bytes() + sizeof(SortedRecord) * table.places().size() +
                       table.geometry().size_bytes() + table.runs().size_bytes() + members.size() +
                       table.names().size();
    indexing::IndexWriter body(output, tix_kind, header);
    body.write(bytes_of(table.places()));
    table.in_order([&](std::span<const SortedRecord> sorted) { body.write(bytes_of(sorted)); });
    body.write(bytes_of(table.geometry()));
    body.write(bytes_of(table.runs()));
    body.write(members);
    body.write(table.names());
    body.finish();
}

TixFile TixFile::open(const std::string& path) {
    indexing::IndexFile file = indexing::IndexFile::open(path, tix_kind);
    const indexing::IndexHeader& header = file.header();
    indexing::ByteReader reader(header.facts);
    TixFacts facts;
    facts.format = (header.flags & flag_fastq) != 0 ? RecordFormat::fastq : RecordFormat::fasta;
    facts.bgzf = (header.flags & flag_bgzf) != 0;
    facts.records = reader.take<std::uint64_t>();
    const auto names_size = reader.take<std::uint64_t>();
    facts.text_size = reader.take<std::uint64_t>();
    Sections sections;
    sections.geometry_count = reader.take<std::uint64_t>();
    sections.run_count = reader.take<std::uint64_t>();
    sections.member_bytes = reader.take<std::uint64_t>();
    const Companion fai{reader.take<std::uint64_t>(), reader.take<std::uint64_t>()};
    const Companion gzi{reader.take<std::uint64_t>(), reader.take<std::uint64_t>()};
    facts.fai = (header.flags & flag_fai) != 0 ? std::optional(fai) : std::nullopt;
    facts.gzi = (header.flags & flag_gzi) != 0 ? std::optional(gzi) : std::nullopt;
    sections.shared = reader.take<std::uint64_t>();
    // Every count is first held to what the body could hold, so that the sums cannot overflow.
    const std::uint64_t body = header.body_size;
    const bool counts_fit = facts.records <= body / 32 && sections.geometry_count <= body / 40 &&
                            sections.run_count <= body / 24 && sections.member_bytes <= body && names_size <= body;
    if (counts_fit) {
        sections.sorted = 16 * facts.records;
        sections.geometry = sections.sorted + sizeof(SortedRecord) * facts.records;
        sections.runs = sections.geometry + sizeof(LineGeometry) * sections.geometry_count;
        sections.members = sections.runs + 24 * sections.run_count;
        sections.names = sections.members + sections.member_bytes;
        sections.end = sections.names + names_size;
    }
    if (!counts_fit || sections.end != body || (header.flags & ~(flag_fastq | flag_bgzf | flag_fai | flag_gzi)) != 0 ||
        (sections.member_bytes > 0) != facts.bgzf) {
        throw indexing::cannot_be_used(path, "it is damaged (its sizes are not what its header says)");
    }
    return TixFile(std::move(file), facts, sections);
}

RecordTable TixFile::table() const {
    const std::string_view body = file_.body();
    return RecordTable(
        {items_at<RecordPlace>(body, 0, facts_.records), items_at<SortedRecord>(body, sections_.sorted, facts_.records),
         body.substr(sections_.names, sections_.end - sections_.names), facts_.text_size, sections_.shared},
        &file_);
}

std::vector<io::BgzfMember> TixFile::members() const {
    file_.check(sections_.members, sections_.member_bytes);
    std::optional<std::vector<io::BgzfMember>> members =
        indexing::parse_gzi(file_.body().substr(sections_.members, sections_.member_bytes));
    if (!members) {
        throw indexing::cannot_be_used(file_.path(), "it is damaged (its BGZF members are out of order)");
    }
    return std::move(*members);
}

std::optional<LineGeometry> TixFile::geometry_of(std::uint64_t record) const {
    const std::span<const LineGeometry> all =
        items_at<LineGeometry>(file_.body(), sections_.geometry, sections_.geometry_count);
    // Sorted by record: a binary search checks only the blocks it steps on.
    std::size_t low = 0;
    std::size_t high = all.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        file_.check_bytes(&all[middle], sizeof(LineGeometry));
        if (all[middle].record < record) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == all.size()) {
        return std::nullopt;
    }
    file_.check_bytes(&all[low], sizeof(LineGeometry));
    if (all[low].record != record) {
        return std::nullopt;
    }
    return all[low];
}

}  // namespace talmiro
