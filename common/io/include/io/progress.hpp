// How far a reader or writer has come: begun once, then told the percentage done as often as it
// changes. The run ties it to the dialogue's meter and its label; tests, the fuzz targets and the
// index builders may pass one that tells no one. Readers and writers so never know how, or
// whether, progress is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace io {

// (done * 100) / total, truncated. 64-bit so that a count near the 32-bit limit does not wrap.
inline std::int64_t percentage(std::int64_t done, std::int64_t total) { return done * 100 / total; }

class Progress {
public:
    using Begin = std::function<void()>;
    using Step = std::function<void(std::int64_t percent)>;

    Progress() = default;  // tells no one
    Progress(Begin begin, Step step) : begin_(std::move(begin)), step_(std::move(step)) {}

    void begin() const {
        if (begin_) {
            begin_();
        }
    }
    void step(std::int64_t percent) const {
        if (step_) {
            step_(percent);
        }
    }

private:
    Begin begin_;
    Step step_;
};

}  // namespace io
