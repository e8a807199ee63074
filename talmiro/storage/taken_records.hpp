// The records an input gave the listed names, remembered by place so that they can be written
// in list order without being held in memory.
#pragma once

#include "io/read_buffer.hpp"
#include "talmiro/records/record_scanner.hpp"
#include "talmiro/storage/file_rereading.hpp"
#include "talmiro/storage/record_spool.hpp"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talmiro {

// Each taken record costs 16 bytes: where its bytes are, how many, and whose. A regular file's
// records are copied while they are in the window, up to a budget, and past it read again from
// the file itself when written; a stream's are kept in a spool.
class TakenRecords final : public RecordSink {
public:
    // `input` must outlive this. `spool_folder` takes a stream's records past `budget` bytes.
    TakenRecords(io::ReadBuffer& input, RecordFormat format, std::size_t slot_count, std::string spool_folder,
                 std::size_t budget);
    // Records from anywhere (read where an index says they are), kept in a spool.
    TakenRecords(RecordFormat format, std::size_t slot_count, std::string spool_folder, std::size_t budget);

    void begin_record(std::int64_t slot) override {
        // A record no name took (excluding) is only ever written as taken.
        slot_ = slot >= 0 ? static_cast<std::uint32_t>(slot) : no_slot;
        record_length_ = 0;
        starting_ = true;
    }
    void add(std::string_view piece) override;
    void end_record() override;

    // Copies the records out of the input file into a spool of their own, for when the input is
    // about to be emptied (an output written in place over it).
    void keep_apart();

    // Hands on, after this one's, the records of `later`: those of a later part of the same file,
    // read beside this one by another reader (which may go once this returns).
    void follow_with(std::unique_ptr<TakenRecords> later);

    // Puts each slot's records together, in file order, ready for write(); call once, after
    // the last record.
    void arrange();
    // Hands the records of `slot` to `use`, in file order, each as written: its '>' or '@', its
    // bytes, and a line break where the file's bytes did not end with one.
    // Returns how many records it handed on.
    std::uint64_t write(std::uint32_t slot, const std::function<void(std::string_view)>& use);
    // Hands every record to `use` in the order they came, each as write() does; call instead of
    // arrange(). Returns how many records it handed on.
    std::uint64_t write_as_taken(const std::function<void(std::string_view)>& use);

private:
    struct Place {
        std::uint64_t offset;  // in the file, or in the spool
        std::uint32_t length;  // long_lengths_ holds it when it does not fit
        std::uint32_t slot;
    };
    static_assert(sizeof(Place) == 16);
    static constexpr std::uint32_t long_length = UINT32_MAX;
    static constexpr std::uint32_t no_slot = UINT32_MAX;
    static constexpr std::uint64_t in_file = std::uint64_t{1} << 63;  // marks a file offset

    void keep(std::string_view piece);
    void write_place(const Place& place, const std::function<void(std::string_view)>& use);

    std::uint64_t length_of(const Place& place) const;
    void read(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use);
    void read_again(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use);

    io::ReadBuffer* input_;  // none for records from anywhere
    char marker_;
    std::string spool_folder_;
    std::size_t budget_;
    std::optional<RecordSpool> spool_;  // none for a regular file
    std::vector<char> kept_;            // a regular file's first records, up to the budget
    bool memory_full_ = false;
    std::size_t kept_start_ = 0;
    std::uint64_t file_offset_ = 0;
    FileRereader reread_;                                  // a regular file's records, read again
    std::uint64_t last_end_ = 0;                           // where the last record read again ended
    std::deque<Place> places_;                             // grows by blocks: no doubling, no copy of all places
    std::map<std::uint64_t, std::uint64_t> long_lengths_;  // by offset, for records of 4 GiB and more
    std::vector<std::uint64_t> first_place_;               // per slot, once arranged; one more at the end
    std::unique_ptr<TakenRecords> later_;                  // a later part's records, written after these
    std::uint32_t slot_ = 0;
    std::uint64_t record_offset_ = 0;
    std::uint64_t record_length_ = 0;
    bool starting_ = false;
};

}  // namespace talmiro
