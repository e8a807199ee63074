#include "talmiro/taken_records.hpp"

#include <algorithm>
#include <cstring>

namespace talmiro {

namespace {
// A mapped input read again in list order faults its pages back in; they are let go after
// this many bytes so the resident set stays bounded whatever the output's size.
constexpr std::uint64_t release_every = std::uint64_t{64} << 20;
}  // namespace

TakenRecords::TakenRecords(io::ReadBuffer& input, RecordFormat format, std::size_t slot_count,
                           std::string spool_folder, std::size_t budget)
    : input_(input), marker_(marker_of(format)), spool_folder_(std::move(spool_folder)), budget_(budget),
      first_place_(slot_count + 1, 0) {
    if (!input.mapped()) {
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
        read_mapped(place.offset, length, [&](std::string_view piece) { apart.append(piece); });
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
        record_offset_ = spool_ ? spool_->size() : static_cast<std::uint64_t>(piece.data() - input_.data());
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
        read_mapped(offset, length, use);
    }
}

void TakenRecords::read_mapped(std::uint64_t offset, std::uint64_t length,
                               const std::function<void(std::string_view)>& use) {
    // Through a small buffer: should the file have been cut short since the scan, what lies past
    // its new end reads as zeros, and is known to be gone only once read.
    bounce_.resize(std::size_t{1} << 20);
    while (length > 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(length, bounce_.size()));
        std::memcpy(bounce_.data(), input_.data() + offset, part);
        if (input_.settle() || offset + part > input_.mapped_size()) {
            // Only what the file still holds; the run learns of the change from the input.
            const std::uint64_t held = input_.mapped_size() > offset ? input_.mapped_size() - offset : 0;
            use({bounce_.data(), static_cast<std::size_t>(std::min<std::uint64_t>(held, part))});
            return;
        }
        use({bounce_.data(), part});
        offset += part;
        length -= part;
        written_since_release_ += part;
    }
    if (written_since_release_ >= release_every) {
        input_.release_pages();
        written_since_release_ = 0;
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
