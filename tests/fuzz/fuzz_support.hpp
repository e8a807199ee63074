// Helpers for the fuzz targets: inputs as in-memory files the readers open by name, and a
// splitter that cuts the fuzzer's bytes into the parts of a session.
#pragma once

#include "io/foreign_content.hpp"
#include "io/line_reader.hpp"
#include "io/output_file.hpp"
#include "io/read_buffer.hpp"
#include "text/name_list.hpp"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

// Stops the run loudly: the fuzzer records the input that broke an invariant.
[[noreturn]] inline void broken(const char* invariant) {
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

inline void require(bool holds, const char* invariant) {
    if (!holds) {
        broken(invariant);
    }
}

// Text as the plain readers are to see it. A file that begins as gzip, zstd, bzip2 or xz data
// does is read through its decoder, which the decompressing reader's own target holds to a
// reference, and one that begins as a kind batch mode refuses (a zip or tar archive...) is
// refused by name; here such a start is broken, so that the text stays text.
inline std::string as_plain_text(std::string text) {
    constexpr std::size_t tar_magic_at = 257;
    for (;;) {
        if (text.starts_with("\x1f\x8b") || text.starts_with("\x28\xb5\x2f\xfd") || text.starts_with("BZh") ||
            text.starts_with(std::string_view("\xfd"
                                              "7zXZ\0",
                                              6))) {
            text[0] = ' ';
        } else if (io::foreign_content(text)) {
            text[text.size() > tar_magic_at + 4 && text.compare(tar_magic_at, 5, "ustar") == 0 ? tar_magic_at : 0] =
                ' ';
        } else {
            return text;
        }
    }
}

// A file held in memory, reachable through a path like any other file.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view content) : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        require(fd_ >= 0, "memfd_create works");
        for (std::size_t written = 0; written < content.size();) {
            const ssize_t put = ::write(fd_, content.data() + written, content.size() - written);
            require(put > 0, "an in-memory file takes its content");
            written += static_cast<std::size_t>(put);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& path() const { return path_; }
    io::InputFile open() const { return *io::InputFile::open(path_); }

private:
    int fd_;
    std::string path_;
};

// Cuts the fuzzer's bytes into parts: each part but the last is preceded by two bytes of length.
class Pieces {
public:
    Pieces(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t take_byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    std::string take_part() {
        const std::size_t length = std::size_t{take_byte()} << 8 | take_byte();
        const std::string_view part = rest_.substr(0, length);
        rest_.remove_prefix(part.size());
        return std::string(part);
    }
    std::string take_rest() {
        const std::string rest(rest_);
        rest_ = {};
        return rest;
    }

private:
    std::string_view rest_;
};

// How the reader under test sees its file, chosen by one byte: tiny copied buffers split every
// token, mapped windows are what the programs use.
inline io::ReadBuffer::Access access_for(std::uint8_t choice) {
    return choice % 2 == 0 ? io::ReadBuffer::Access::copied : io::ReadBuffer::Access::mapped_when_possible;
}
inline std::size_t buffer_size_for(std::uint8_t choice) {
    static constexpr std::size_t sizes[] = {1, 2, 3, 7, 64, io::ReadBuffer::default_size};
    return sizes[(choice / 2) % 6];
}

// The fuzzer's bytes as one input file: a first byte chooses how the reader sees it (see
// access_for and buffer_size_for), the rest is the file's content.
class FuzzedFile {
public:
    FuzzedFile(const std::uint8_t* data, std::size_t size)
        : parts_(data, size), choice_(parts_.take_byte()), text_(as_plain_text(parts_.take_rest())), file_(text_) {}

    const std::string& text() const { return text_; }

    template <typename Reader>
    Reader open_reader() const {
        return Reader(file_.open(), buffer_size_for(choice_), access_for(choice_));
    }

private:
    Pieces parts_;
    std::uint8_t choice_;
    std::string text_;
    MemoryFile file_;
};

// The words typed after the input names: one single-character continue answer per fuzzed byte
// (characters that cannot form a path), then the output names. Each question takes one answer;
// the output prompts take the next words, whichever they are.
inline std::vector<std::string> typed_words(std::string_view answer_bytes, std::vector<std::string> output_names) {
    static constexpr char choices[] = {'y', 'Y', 'n', 'q'};
    std::vector<std::string> words;
    for (const char byte : answer_bytes) {
        words.emplace_back(1, choices[static_cast<unsigned char>(byte) % sizeof choices]);
    }
    words.insert(words.end(), output_names.begin(), output_names.end());
    return words;
}

// Questions asked in a transcript. A listed name may hold any text but never a line break, so
// only a real question starts a line with the question's text.
inline std::size_t questions_asked(const std::string& transcript) {
    std::size_t count = 0;
    for (std::size_t at = transcript.find("\nContinue (y//n)? "); at != std::string::npos;
         at = transcript.find("\nContinue (y//n)? ", at + 1)) {
        ++count;
    }
    return count;
}

// A run succeeded when its transcript ends with its closing text (a name may contain that text).
inline bool ends_with(const std::string& transcript, std::string_view closing) {
    return transcript.size() >= closing.size() &&
           transcript.compare(transcript.size() - closing.size(), closing.size(), closing) == 0;
}

// A fresh scratch folder, made once per process, holding every file a whole run reads or writes.
inline const std::filesystem::path& scratch_folder() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/orvane-talmiro-fuzz-XXXXXX";
        require(::mkdtemp(pattern) != nullptr, "a scratch folder");
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Empties the scratch folder and works inside it for the life of the object, so that whatever
// name a run is given stays there; the working folder is restored after (libFuzzer reads its
// corpus relative to it).
class InScratchFolder {
public:
    InScratchFolder() : previous_(std::filesystem::current_path()) {
        for (const auto& entry : std::filesystem::directory_iterator(scratch_folder())) {
            std::filesystem::remove_all(entry.path());
        }
        std::filesystem::current_path(scratch_folder());
    }
    ~InScratchFolder() { std::filesystem::current_path(previous_); }
    InScratchFolder(const InScratchFolder&) = delete;
    InScratchFolder& operator=(const InScratchFolder&) = delete;

private:
    std::filesystem::path previous_;
};

inline std::string read_whole(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_whole(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
}

inline std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += word + ' ';
    }
    return text;
}

}  // namespace fuzzing
