#include "talmiro/taken_records.hpp"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace talmiro {

TakenRecords::TakenRecords(io::ReadBuffer& input, RecordFormat format, std::size_t slot_count,
                           std::string spool_folder, std::size_t budget)
    : input_(input), marker_(marker_of(format)), spool_folder_(std::move(spool_folder)), budget_(budget),
      first_place_(slot_count + 1, 0) {
    struct stat info {};
    const io::InputFile* const file = input.plain_file();
    if (file == nullptr || ::fstat(file->descriptor(), &info) != 0 || !S_ISREG(info.st_mode)) {
        spool_.emplace(spool_folder_, budget_);
    }
}

void TakenRecords::keep_apart() {
    if (spool_) {
        return;
    }
    RecordSpool& apart = spool_.emplace(spool_folder_, budget_);
    std::map<std::uint64_t, std::uint64_t> long_lengths;
    for (Place& place : places_) {
        const std::uint64_t offset = apart.size();
        const std::uint64_t length = length_of(place);
        read_again(place.offset, length, [&](std::string_view piece) { apart.append(piece); });
        if (place.length == long_length) {
            long_lengths.emplace(offset, length);
        }
        place.offset = offset;
    }
    long_lengths_ = std::move(long_lengths);
}

void TakenRecords::add(std::string_view piece) {
    if (starting_) {
        starting_ = false;
        record_offset_ = spool_ ? spool_->size() : input_.file_offset(static_cast<std::size_t>(piece.data() - input_.data()));
    }
    if (spool_) {
        spool_->append(piece);
    }
    record_length_ += piece.size();
}

void TakenRecords::end_record() {
    if (record_length_ >= long_length) {
        long_lengths_.emplace(record_offset_, record_length_);
    }
    places_.push_back(Place{record_offset_, static_cast<std::uint32_t>(std::min<std::uint64_t>(record_length_, long_length)), slot_});
    ++first_place_[slot_];  // a count until arranged
}

void TakenRecords::arrange() {
    // Offsets grow in file order, so sorting by slot then offset keeps each slot's file order.
    std::sort(places_.begin(), places_.end(), [](const Place& a, const Place& b) {
        return a.slot != b.slot ? a.slot < b.slot : a.offset < b.offset;
    });
    std::uint64_t start = 0;
    for (std::uint64_t& first : first_place_) {
        const std::uint64_t count = first;
        first = start;
        start += count;
    }
}

std::uint64_t TakenRecords::length_of(const Place& place) const {
    return place.length == long_length ? long_lengths_.at(place.offset) : place.length;
}

void TakenRecords::read(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use) {
    if (spool_) {
        spool_->read(offset, length, use);
    } else {
        read_again(offset, length, use);
    }
}

void TakenRecords::read_again(std::uint64_t offset, std::uint64_t length,
                               const std::function<void(std::string_view)>& use) {
    // Read again from the file, not through a mapping: records in list order lie all over it,
    // and touching them through the mapping would bring most of the file into the resident set.
    // A file cut short since the scan gives what it still holds; the run learns of the change
    // from the input.
    bounce_.resize(std::size_t{1} << 20);
    const int fd = input_.plain_file()->descriptor();
    while (length > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(length, bounce_.size()));
        const ssize_t got = ::pread(fd, bounce_.data(), part, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        use({bounce_.data(), static_cast<std::size_t>(got)});
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
}

std::uint64_t TakenRecords::write(std::uint32_t slot, const std::function<void(std::string_view)>& use) {
    for (std::uint64_t index = first_place_[slot]; index < first_place_[slot + 1]; ++index) {
        const Place& place = places_[index];
        const std::uint64_t length = length_of(place);
        use({&marker_, 1});
        char last = '\n';
        read(place.offset, length, [&](std::string_view piece) {
            if (!piece.empty()) {
                use(piece);
                last = piece.back();
            }
        });
        if (last != '\n') {
            use("\n");
        }
    }
    return first_place_[slot + 1] - first_place_[slot];
}

}  // namespace talmiro
