#include "internal.hpp"

#include <isa-l/igzip_lib.h>

#include <cstring>
#include <string>
#include <vector>

namespace codecs {

namespace {

// Inflates member after member (a BGZF file is a series of small ones) with ISA-L. A stream
// whose first member is BGZF's (read from a pipe, where it cannot be told before reading) must
// end with BGZF's empty end-of-file member, as one read by name must: without it the file may
// have been cut right after a whole block, which would otherwise pass unseen.
class GzipDecoder final : public BlockDecoder {
public:
    GzipDecoder(Fill fill, std::string already_read) : BlockDecoder(std::move(fill), std::move(already_read)) {
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_GZIP;
        state_.next_in = input().data();
        state_.avail_in = static_cast<std::uint32_t>(input().size());
    }

    std::size_t read(char* into, std::size_t size) override {
        while (!done()) {
            if (state_.avail_in == 0 && !input_ended()) {
                refill();
            }
            if (state_.block_state == ISAL_BLOCK_FINISH) {
                if (!next_member()) {
                    break;
                }
                continue;
            }
            if (!shape_known_ && (state_.avail_in >= bgzf_header || input_ended())) {
                bgzf_shaped_ = bgzf_member_size({reinterpret_cast<const char*>(state_.next_in), state_.avail_in}) != 0;
                shape_known_ = true;
            }
            state_.next_out = reinterpret_cast<std::uint8_t*>(into);
            state_.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX));
            const int status = isal_inflate(&state_);
            const std::size_t produced = reinterpret_cast<char*>(state_.next_out) - into;
            member_text_ += produced;
            if (status < 0) {
                fail();
            } else if (produced > 0) {
                return produced;
            } else if (state_.avail_in == 0 && input_ended() && state_.block_state != ISAL_BLOCK_FINISH) {
                fail();  // the data stops inside a member
            }
        }
        return 0;
    }

private:
    void refill() {
        state_.avail_in = static_cast<std::uint32_t>(fill_input(input_block));
        state_.next_in = input().data();
    }

    // After a member, another may follow; the end of the data after a whole member is the end.
    bool next_member() {
        last_member_empty_ = member_text_ == 0;
        member_text_ = 0;
        if (state_.avail_in == 0 && !input_ended()) {
            refill();
        }
        if (state_.avail_in == 0) {
            end_of_members();
            return false;
        }
        if (*state_.next_in == 0) {
            pass_over_padding();
            return false;
        }
        std::uint8_t* const next_in = state_.next_in;
        const std::uint32_t avail_in = state_.avail_in;
        isal_inflate_reset(&state_);
        state_.crc_flag = ISAL_GZIP;
        state_.next_in = next_in;
        state_.avail_in = avail_in;
        return true;
    }

    // Zeros after the last member, as tape and some writers leave, end the data as `gzip -t`
    // takes them; anything after the zeros is damage.
    void pass_over_padding() {
        for (;;) {
            while (state_.avail_in > 0 && *state_.next_in == 0) {
                ++state_.next_in;
                --state_.avail_in;
            }
            if (state_.avail_in > 0) {
                fail();
                return;
            }
            if (input_ended()) {
                end_of_members();
                return;
            }
            refill();
        }
    }

    void end_of_members() {
        if (bgzf_shaped_ && !last_member_empty_) {
            fail();
        } else {
            end();
        }
    }

    static constexpr std::uint32_t bgzf_header = 18;
    inflate_state state_{};
    bool shape_known_ = false;
    bool bgzf_shaped_ = false;
    bool last_member_empty_ = false;
    std::size_t member_text_ = 0;  // inflated from the member under way
};

}  // namespace

std::unique_ptr<Decoder> gzip_decoder(Fill fill, std::string already_read) {
    return std::make_unique<GzipDecoder>(std::move(fill), std::move(already_read));
}

}  // namespace codecs
