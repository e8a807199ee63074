// The one error value of the I/O layer and of the readers built on it: which file, what was
// being done, and why. Files keep their first error rather than throw it; the run decides what
// to say.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace io {

// The first thing that went wrong with one file.
struct IoError {
    // `change`: another process changed the file while it was being read, so what was read
    // may not be the file's.
    enum class Action { open, read, create, write, change };
    Action action;
    std::string path;
    int error_number;  // errno, or 0 when `reason` says what was wrong
    std::string reason;
    std::uint64_t line = 0;  // the 1-based line the reason is about, 0 where none is
    std::string record{};    // the record or row the reason is about, empty where none is

    // "cannot open 'x.txt': No such file or directory"
    std::string describe() const;
    // "'x.txt': reason", or "'x.txt' line 3: reason", for a file whose bytes were at fault
    // rather than the system.
    static IoError bad_content(const std::string& path, std::string reason, std::uint64_t line = 0);
    // "'x.fq' line 7, record 'r2': reason"
    static IoError bad_record(const std::string& path, std::string record, std::string reason, std::uint64_t line = 0);
    static IoError changed_while_read(const std::string& path);
};

// Raised where a reader or writer cannot go on and has no value to return its error through
// (deep inside a callback, say); the session turns it into the run's failure as it does a
// returned IoError.
struct RaisedError {
    enum class Side { input, output };
    Side side;
    std::string message;
};

}  // namespace io
