#include "talmiro/storage/taken_records.hpp"

#include "io/mapped_file.hpp"

#include <algorithm>
#include <cerrno>

namespace talmiro {

TakenRecords::TakenRecords(io::ReadBuffer& input, RecordFormat format, std::size_t slot_count, std::string spool_folder,
                           std::size_t budget)
    : input_(&input),
      marker_(marker_of(format)),
      spool_folder_(std::move(spool_folder)),
      budget_(budget),
      first_place_(slot_count + 1, 0) {
    // Only a regular file can be read again where a record lay; anything else is kept as read.
    const io::InputFile* const file = input.plain_file();
    if (file == nullptr || !io::stamp_of(file->descriptor())) {
        spool_.emplace(spool_folder_, budget_);
    }
}

TakenRecords::TakenRecords(RecordFormat format, std::size_t slot_count, std::string spool_folder, std::size_t budget)
    : input_(nullptr),
      marker_(marker_of(format)),
      spool_folder_(std::move(spool_folder)),
      budget_(budget),
      first_place_(slot_count + 1, 0) {
    spool_.emplace(spool_folder_, budget_);
}

void TakenRecords::keep_apart() {
    if (spool_) {
        return;
    }
    // Every record goes, those held in memory too, so that all places are the spool's.
    RecordSpool apart(spool_folder_, budget_);
    std::map<std::uint64_t, std::uint64_t> long_lengths;
    for (Place& place : places_) {
        const std::uint64_t offset = apart.size();
        const std::uint64_t length = length_of(place);
        read(place.offset, length, [&](std::string_view piece) { apart.append(piece); });
        if (place.length == long_length) {
            long_lengths.emplace(offset, length);
        }
        place.offset = offset;
    }
    long_lengths_ = std::move(long_lengths);
    spool_.emplace(std::move(apart));
    kept_ = std::vector<char>();
    if (later_) {
        later_->keep_apart();
    }
}

void TakenRecords::follow_with(std::unique_ptr<TakenRecords> later) {
    later->input_ = input_;  // the same file: read again through the reader that stays
    later_ = std::move(later);
}

void TakenRecords::add(std::string_view piece) {
    if (spool_) {
        if (starting_) {
            record_offset_ = spool_->size();
        }
        spool_->append(piece);
    } else {
        if (starting_) {
            file_offset_ = input_->file_offset(static_cast<std::size_t>(piece.data() - input_->data()));
            kept_start_ = kept_.size();
        }
        keep(piece);
    }
    starting_ = false;
    record_length_ += piece.size();
}

void TakenRecords::keep(std::string_view piece) {
    if (memory_full_) {
        return;
    }
    if (kept_.size() + piece.size() > budget_) {
        // From here on every record is read again from the file; those kept stay first in
        // file order, as their places sort first.
        kept_.resize(kept_start_);
        memory_full_ = true;
        return;
    }
    if (kept_.capacity() == 0) {
        kept_.reserve(budget_);  // address space only: pages come as records fill them, never copied
    }
    kept_.insert(kept_.end(), piece.begin(), piece.end());
}

void TakenRecords::end_record() {
    if (!spool_) {
        record_offset_ = memory_full_ ? in_file | file_offset_ : kept_start_;
    }
    if (record_length_ >= long_length) {
        long_lengths_.emplace(record_offset_, record_length_);
    }
    places_.push_back(
        Place{record_offset_, static_cast<std::uint32_t>(std::min<std::uint64_t>(record_length_, long_length)), slot_});
    if (slot_ != no_slot) {
        ++first_place_[slot_];  // a count until arranged
    }
}

void TakenRecords::arrange() {
    // Offsets grow in file order, so sorting by slot then offset keeps each slot's file order.
    std::sort(places_.begin(), places_.end(),
              [](const Place& a, const Place& b) { return a.slot != b.slot ? a.slot < b.slot : a.offset < b.offset; });
    std::uint64_t start = 0;
    for (std::uint64_t& first : first_place_) {
        const std::uint64_t count = first;
        first = start;
        start += count;
    }
    if (later_) {
        later_->arrange();
    }
}

std::uint64_t TakenRecords::length_of(const Place& place) const {
    return place.length == long_length ? long_lengths_.at(place.offset) : place.length;
}

void TakenRecords::read(std::uint64_t offset, std::uint64_t length, const std::function<void(std::string_view)>& use) {
    if (spool_) {
        spool_->read(offset, length, use);
    } else if ((offset & in_file) != 0) {
        read_again(offset & ~in_file, length, use);
    } else {
        use({kept_.data() + offset, static_cast<std::size_t>(length)});
    }
}

void TakenRecords::read_again(std::uint64_t offset, std::uint64_t length,
                              const std::function<void(std::string_view)>& use) {
    // Read again from the file, not through a mapping: records in list order lie all over it,
    // and touching them through the mapping would bring most of the file into the resident set.
    // Where records are asked for in file order (one name taking a run of them), a megabyte is
    // read at a time; scattered ones are read one by one. A file cut short since the scan gives
    // what it still holds; the run learns of the change from the input.
    const bool in_order = offset >= last_end_ && offset - last_end_ <= 4096;
    last_end_ = offset + length;
    static_cast<void>(reread_.read(input_->plain_file()->descriptor(), offset, length,
                                   in_order ? FileRereader::most : static_cast<std::size_t>(length), use));
}

void TakenRecords::write_place(const Place& place, const std::function<void(std::string_view)>& use) {
    use({&marker_, 1});
    char last = '\n';
    read(place.offset, length_of(place), [&](std::string_view piece) {
        if (!piece.empty()) {
            use(piece);
            last = piece.back();
        }
    });
    if (last != '\n') {
        use("\n");
    }
}

std::uint64_t TakenRecords::write(std::uint32_t slot, const std::function<void(std::string_view)>& use) {
    for (std::uint64_t index = first_place_[slot]; index < first_place_[slot + 1]; ++index) {
        write_place(places_[index], use);
    }
    const std::uint64_t count = first_place_[slot + 1] - first_place_[slot];
    return later_ ? count + later_->write(slot, use) : count;
}

std::uint64_t TakenRecords::write_as_taken(const std::function<void(std::string_view)>& use) {
    for (const Place& place : places_) {
        write_place(place, use);
    }
    return later_ ? places_.size() + later_->write_as_taken(use) : places_.size();
}

}  // namespace talmiro
