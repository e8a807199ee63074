// The I/O room: read windows and the errors files keep.
#include "codecs/codecs.hpp"
#include "index/gzi_format.hpp"
#include "io/file_system.hpp"
#include "io/line_reader.hpp"
#include "io/mapped_file.hpp"
#include "io/output_file.hpp"
#include "io/random_access.hpp"
#include "io/read_buffer.hpp"
#include "support/compression.hpp"
#include "support/session.hpp"

#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>

namespace {

// Many small files opened, read whole and closed, each with its read-ahead helper started and
// stopped: every one reads its every byte. (The stop racing the helper's last wait, once found
// by fuzzing here, is held in both orders by the threads tests of the mark it waits on.)
TEST(ReadBuffer, ManyFilesReadWholeEachWithItsHelper) {
    testing_support::ScratchDir dir;
    dir.write("small", std::string(10000, 'x'));
    for (int round = 0; round < 20000; ++round) {
        io::ReadBuffer buffer(*io::InputFile::open((dir / "small").string()), 4096);
        std::size_t bytes = 0;
        while (buffer.refill()) {
            bytes = buffer.end();
            buffer.set_pos(buffer.end());
        }
        ASSERT_EQ(bytes, 10000U);
    }
}

// Each failure keeps the file, what was being done and the system's reason, for a report that
// can name them; the readers and writers go on as at the end of the input or a lost write.
TEST(IoErrors, NameTheFileTheActionAndTheReason) {
    testing_support::ScratchDir dir;
    const std::string missing = (dir / "missing.txt").string();
    std::optional<io::IoError> error;
    EXPECT_FALSE(io::InputFile::open(missing, &error));
    EXPECT_EQ(error->describe(), "cannot open '" + missing + "': No such file or directory");
    EXPECT_FALSE(io::InputFile::open(dir.path().string(), &error));
    EXPECT_EQ(error->describe(), "cannot open '" + dir.path().string() + "': Is a directory");
    const std::string nowhere = (dir / "nowhere" / "out.txt").string();
    EXPECT_FALSE(io::OutputFile::create(nowhere, &error));
    EXPECT_EQ(error->describe(), "cannot create '" + nowhere + "': No such file or directory");

    std::optional<io::OutputFile> full = io::OutputFile::create("/dev/full");
    ASSERT_TRUE(full);
    full->write("anything");
    EXPECT_FALSE(full->close());
    EXPECT_EQ(full->error()->describe(), "cannot write '/dev/full': No space left on device");

    // Reading a process's own memory from offset 0 fails: a read error, not an end of file.
    for (const auto access : {io::ReadBuffer::Access::copied, io::ReadBuffer::Access::mapped_when_possible}) {
        io::ReadBuffer unreadable(*io::InputFile::open("/proc/self/mem"), 4096, access);
        EXPECT_FALSE(unreadable.refill());
        ASSERT_TRUE(unreadable.error());
        EXPECT_EQ(unreadable.error()->describe(), "cannot read '/proc/self/mem': Input/output error");
    }
    io::ReadBuffer empty(*io::InputFile::open("/dev/null"));
    EXPECT_FALSE(empty.refill());
    EXPECT_FALSE(empty.error());

    // A reader's fault names the line and the record where it knows them.
    EXPECT_EQ(io::IoError::bad_content("a.fq", "cut short", 7).describe(), "'a.fq' line 7: cut short");
    EXPECT_EQ(io::IoError::bad_record("a.fq", "r2", "cut short", 7).describe(),
              "'a.fq' line 7, record 'r2': cut short");
    EXPECT_EQ(io::IoError::bad_record("a.fq", "r2", "cut short").describe(), "'a.fq' record 'r2': cut short");
}

TEST(ReadBuffer, CountsLinesUpToAnyByteAcrossRefills) {
    testing_support::ScratchDir dir;
    std::string text;
    for (int line = 0; line < 3000; ++line) {
        text += std::string(static_cast<std::size_t>(line % 7), 'x') + '\n';
    }
    dir.write("lines", text);
    for (const auto& setup : testing_support::buffer_setups()) {
        io::ReadBuffer buffer(*io::InputFile::open((dir / "lines").string()), setup.size, setup.access);
        buffer.count_lines();
        std::uint64_t line = 1;
        for (std::size_t offset = 0; offset < text.size(); ++offset) {
            if (buffer.pos() == buffer.end()) {
                ASSERT_TRUE(buffer.refill());
            }
            ASSERT_EQ(buffer.line_at(buffer.pos()), line) << testing_support::describe(setup) << ", byte " << offset;
            line += text[offset] == '\n' ? 1 : 0;
            buffer.set_pos(buffer.pos() + 1);
        }
    }
}

// A compressed file cut (or grown) between opening and its end reads as another version of
// it: told as changed, even when the cut falls exactly between two members or frames, where
// the data alone would look whole.
TEST(ByteSources, ACompressedFileThatChangesWhileReadIsTold) {
    testing_support::ScratchDir dir;
    // The first member decodes to far more than the read-ahead helper holds before it waits for
    // the reader (a few megabytes), so however soon the helper starts, it is still inside that
    // member when the file is cut: the cut always comes before the end is judged.
    std::mt19937 random(11);
    std::string first;
    for (int record = 0; first.size() < (std::size_t{16} << 20); ++record) {
        first += ">r" + std::to_string(record) + "\n";
        for (int base = 0; base < 60; ++base) {
            first += "ACGT"[random() % 4];
        }
        first += '\n';
    }
    const std::string second = ">last\nACGT\n";
    using testing_support::Packing;
    for (const Packing one_part : {Packing::gzip, Packing::zstd}) {
        const std::string path = (dir / "in.z").string();
        const std::string first_part = testing_support::packed(first, one_part);
        dir.write("in.z", first_part + testing_support::packed(second, one_part));
        io::ReadBuffer input(*io::InputFile::open(path), 4096, io::ReadBuffer::Access::copied);
        std::filesystem::resize_file(path, first_part.size());
        std::size_t read = 0;
        while (input.refill()) {
            read += input.end() - input.pos();
            input.set_pos(input.end());
        }
        EXPECT_EQ(read, first.size()) << "the first member or frame, whole";
        ASSERT_TRUE(input.error());
        EXPECT_EQ(input.error()->describe(), "'" + path + "' changed while it was being read");
    }
}

// A plain file cut short by another process while it is read through the mapping: no SIGBUS,
// the buffer says it changed, and a reader that settles after each scan (as every reader does)
// keeps no byte the file did not hold. Cut at chosen points of the read rather than at a moment
// of a clock, so every run tests the same thing.
TEST(ReadBuffer, AMappedFileCutShortWhileReadIsToldNotCrashed) {
    testing_support::ScratchDir dir;
    std::string text;
    for (int line = 0; text.size() < (std::size_t{8} << 20); ++line) {
        text += ">r" + std::to_string(line) + "\nACGTACGTAC\n";
    }
    const std::string path = (dir / "in.fa").string();
    for (const std::size_t cut_after : {std::size_t{0}, std::size_t{1} << 20, std::size_t{5} << 20}) {
        dir.write("in.fa", text);
        io::ReadBuffer input(*io::InputFile::open(path), std::size_t{1} << 16,
                             io::ReadBuffer::Access::mapped_when_possible);
        const std::size_t new_size = cut_after + 4099;
        std::string read;
        bool cut = false;
        while (input.refill()) {
            const std::size_t before = read.size();
            read.append(input.data() + input.pos(), input.end() - input.pos());
            if (input.settle()) {  // the scan met the cut: again, up to where the file now ends
                read.resize(before);
                read.append(input.data() + input.pos(), input.end() - input.pos());
            }
            input.set_pos(input.end());
            if (!cut && read.size() >= cut_after) {
                std::filesystem::resize_file(path, new_size);
                cut = true;
            }
        }
        EXPECT_TRUE(input.changed() || input.error()) << cut_after;
        EXPECT_LT(read.size(), text.size()) << cut_after;
        const auto differ = std::mismatch(read.begin(), read.end(), text.begin()).first;
        EXPECT_TRUE(differ == read.end())
            << cut_after << ": a byte the file did not hold at " << (differ - read.begin()) << " of " << read.size();
    }
}

// Any stretch of a file's text, read from the middle, is the text's: plain or BGZF (from the
// members a .gzi lists, each stretch starting in any member and crossing any number), and the
// .gzi is bgzip's own shape, which reads back to the same members.
TEST(RandomAccess, EveryStretchIsTheText) {
    testing_support::ScratchDir dir;
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 300000) {
        text += ">r" + std::to_string(random() % 100000) + "\n" +
                std::string(1 + random() % 200, "ACGT"[random() % 4]) + "\n";
    }
    dir.write("plain", text);
    dir.write("blocked", testing_support::packed(text, testing_support::Packing::bgzf));
    const io::InputFile plain = *io::InputFile::open((dir / "plain").string());
    const io::InputFile blocked = *io::InputFile::open((dir / "blocked").string());
    EXPECT_EQ(io::storage_of(plain), io::Storage::plain);
    EXPECT_EQ(io::storage_of(blocked), io::Storage::bgzf);
    std::optional<io::IoError> error;
    const std::optional<std::vector<io::BgzfMember>> members = io::list_bgzf_members(blocked, error);
    ASSERT_TRUE(members && members->size() > 4);
    const std::optional<std::vector<io::BgzfMember>> again = indexing::parse_gzi(indexing::gzi_bytes(*members));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), members->size());
    EXPECT_EQ(again->back().stored, members->back().stored);
    EXPECT_EQ(again->back().text, members->back().text);
    for (int stretch = 0; stretch < 200; ++stretch) {
        const std::uint64_t begin = random() % text.size();
        const std::uint64_t end = std::min<std::uint64_t>(text.size() + 10, begin + random() % 150000);
        const std::string expected = text.substr(begin, end - begin);
        for (const std::vector<io::BgzfMember>* places :
             {static_cast<const std::vector<io::BgzfMember>*>(nullptr), &*members}) {
            const std::unique_ptr<io::ByteSource> source =
                io::open_region(places ? blocked : plain, begin, end, places);
            std::string read;
            char chunk[4096];
            for (std::size_t got = 0; (got = source->read(chunk, 1 + random() % sizeof chunk)) > 0;) {
                read.append(chunk, got);
            }
            EXPECT_FALSE(source->error());
            ASSERT_EQ(read, expected) << begin << ".." << end << (places ? " BGZF" : " plain");
        }
    }
    // Members inflated ahead on helpers, for stretches read in the planned order, out of it, or
    // never planned: each the text's; a damaged member is still met as damage by its reader.
    for (const unsigned helpers : {1U, 2U, 3U}) {
        std::vector<io::TextRange> ranges;
        for (int stretch = 0; stretch < 60; ++stretch) {
            const std::uint64_t begin = random() % text.size();
            ranges.push_back({begin, std::min<std::uint64_t>(text.size(), begin + random() % 200000)});
        }
        io::BgzfMemberCache cache;
        cache.read_ahead(blocked, *members, ranges, helpers);
        for (std::size_t nth = 0; nth < ranges.size(); ++nth) {
            // Every fifth stretch read is another than planned.
            const io::TextRange range =
                nth % 5 == 4 ? io::TextRange{ranges[nth].begin / 2, ranges[nth].begin} : ranges[nth];
            const std::unique_ptr<io::ByteSource> source =
                io::open_region(blocked, range.begin, range.end, &*members, &cache);
            std::string read;
            char chunk[8192];
            for (std::size_t got = 0; (got = source->read(chunk, sizeof chunk)) > 0;) {
                read.append(chunk, got);
            }
            EXPECT_FALSE(source->error());
            ASSERT_EQ(read, text.substr(range.begin, range.end - range.begin)) << helpers << " helpers, " << nth;
        }
    }
    // A member let go while a region still reads from it keeps its text: the read-ahead fills
    // again only the texts nothing else holds. The first region is read in part, the second
    // (planned after it, in later members) whole, then the rest of the first.
    for (const unsigned helpers : {1U, 2U}) {
        const io::TextRange first{1000, 1000 + 3 * io::largest_bgzf_member};
        const io::TextRange second{text.size() / 2, text.size() / 2 + 5 * io::largest_bgzf_member};
        io::BgzfMemberCache cache;
        cache.read_ahead(blocked, *members, {first, second}, helpers);
        const auto read_up_to = [](io::ByteSource& source, std::size_t most) {
            std::string read;
            char chunk[4096];
            for (std::size_t got = 0;
                 read.size() < most && (got = source.read(chunk, std::min(sizeof chunk, most - read.size()))) > 0;) {
                read.append(chunk, got);
            }
            return read;
        };
        const auto earlier = io::open_region(blocked, first.begin, first.end, &*members, &cache);
        std::string earlier_text = read_up_to(*earlier, 100);
        const auto later = io::open_region(blocked, second.begin, second.end, &*members, &cache);
        EXPECT_EQ(read_up_to(*later, SIZE_MAX / 2), text.substr(second.begin, second.end - second.begin));
        earlier_text += read_up_to(*earlier, SIZE_MAX / 2);
        EXPECT_EQ(earlier_text, text.substr(first.begin, first.end - first.begin)) << helpers << " helpers";
    }
    std::string damaged = dir.read("blocked");
    damaged[(*members)[2].stored + 40] ^= 0x55;
    dir.write("damaged", damaged);
    const io::InputFile spoiled = *io::InputFile::open((dir / "damaged").string());
    io::BgzfMemberCache cache;
    const std::vector<io::TextRange> whole = {{0, text.size()}};
    cache.read_ahead(spoiled, *members, whole, 2);
    const std::unique_ptr<io::ByteSource> source = io::open_region(spoiled, 0, text.size(), &*members, &cache);
    char chunk[8192];
    while (source->read(chunk, sizeof chunk) > 0) {
    }
    ASSERT_TRUE(source->error());
    EXPECT_NE(source->error()->describe().find("damaged BGZF member"), std::string::npos);
}

// A codec that fails ends its output as a write failure that says so, never as a compressed
// file cut short that passes for whole (a zstd error once ended the frame early with success).
class FailingEncoder final : public codecs::Encoder {
public:
    bool compress(const char*, std::size_t, const Write& write) override {
        write("\x28\xb5", 2);  // the first bytes of a frame, then the codec gives up
        return false;
    }
    bool finish(const Write&) override { return false; }
    std::string failure() const override { return "injected failure"; }
};

TEST(OutputFile, ACodecThatFailsIsAWriteFailure) {
    testing_support::ScratchDir dir;
    const std::string path = (dir / "out.zst").string();
    std::optional<io::OutputFile> output = io::OutputFile::create(path);
    ASSERT_TRUE(output);
    output->begin_writing();
    output->compress_with(std::make_unique<FailingEncoder>());
    output->write("text to compress\n");
    EXPECT_FALSE(output->close());
    ASSERT_TRUE(output->error());
    EXPECT_EQ(output->error()->describe(), "'" + path + "': cannot compress it: injected failure");
}

// What the programs ask of the file system: reads at an offset are whole but at the end, a
// spool's file has no name in its folder however it ends, and a device is told from a file.
TEST(FileSystem, ReadsAtOffsetsAndKeepsNamelessFilesNameless) {
    testing_support::ScratchDir dir;
    dir.write("ten", "0123456789");
    const io::InputFile file = *io::InputFile::open((dir / "ten").string());
    char bytes[8] = {};
    EXPECT_EQ(io::read_at(file.descriptor(), 6, bytes, sizeof bytes), std::optional<std::size_t>(4));
    EXPECT_EQ(std::string(bytes, 4), "6789");
    EXPECT_EQ(io::read_at(file.descriptor(), 10, bytes, sizeof bytes), std::optional<std::size_t>(0));
    EXPECT_FALSE(io::read_at(-1, 0, bytes, sizeof bytes));
    {
        const io::FileDescriptor spool = io::nameless_file(dir.path().string(), ".spool-");
        ASSERT_TRUE(spool.valid());
        EXPECT_TRUE(io::write_all(spool.get(), "kept"));
        EXPECT_EQ(io::read_at(spool.get(), 0, bytes, sizeof bytes), std::optional<std::size_t>(4));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // "ten" alone
    }
    EXPECT_FALSE(io::nameless_file((dir / "absent").string(), ".spool-").valid());
    EXPECT_TRUE(io::exists((dir / "ten").string()));
    EXPECT_FALSE(io::exists((dir / "absent").string()));
    EXPECT_EQ(io::special_file_kind("/dev/null"), "a character device");
    EXPECT_EQ(io::special_file_kind(dir.path().string()), "a directory");
    EXPECT_FALSE(io::special_file_kind((dir / "ten").string()));
    EXPECT_FALSE(io::special_file_kind((dir / "absent").string()));
}

// An index's header is written in place only into the very file it was read from, and an
// --index run's lock keeps a second one out until the first lets go.
TEST(FileSystem, WritesInPlaceOnlyIntoTheSameFileAndLocksOutASecondIndexer) {
    testing_support::ScratchDir dir;
    dir.write("index", "0123456789");
    const std::string path = (dir / "index").string();
    const std::uint64_t inode = io::stamp_of(path)->inode;
    std::optional<io::IoError> error;
    {
        const io::FileDescriptor file = io::open_regular_to_update(path, inode, error);
        ASSERT_TRUE(file.valid());
        EXPECT_TRUE(io::write_at(file.get(), 2, "ab"));
    }
    EXPECT_EQ(dir.read("index"), "01ab456789");
    dir.write("other", "x");
    std::filesystem::rename(dir / "other", dir / "index");
    EXPECT_FALSE(io::open_regular_to_update(path, inode, error).valid());
    EXPECT_FALSE(io::open_regular_to_update(dir.path().string(), inode, error).valid());

    const auto second_can_lock = [&] {
        const io::FileDescriptor other(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        return ::flock(other.get(), LOCK_EX | LOCK_NB) == 0;
    };
    {
        const std::optional<io::ExclusiveLock> lock = io::ExclusiveLock::take(path, error);
        ASSERT_TRUE(lock);
        EXPECT_FALSE(second_can_lock());
    }
    EXPECT_TRUE(second_can_lock());
    EXPECT_FALSE(io::ExclusiveLock::take((dir / "absent").string(), error));
}

}  // namespace
