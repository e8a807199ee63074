#include "io/io_error.hpp"

#include "text/quoting.hpp"

#include <cstdio>
#include <cstring>

namespace io {

namespace {

std::string_view verb(IoError::Action action) {
    switch (action) {
    case IoError::Action::open:
        return "cannot open ";
    case IoError::Action::read:
        return "cannot read ";
    case IoError::Action::create:
        return "cannot create ";
    case IoError::Action::write:
        return "cannot write ";
    case IoError::Action::change:
        break;
    }
    return "";
}

}  // namespace

std::string IoError::describe() const {
    const std::string file = text::file_label(path, action == Action::create || action == Action::write);
    if (action == Action::change) {
        return file + " changed while it was being read";
    }
    if (error_number == 0) {
        return file + (line > 0 ? " line " + std::to_string(line) : std::string()) +
               (record.empty() ? std::string() : std::string(line > 0 ? "," : "") + " record " + text::quoted(record)) +
               ": " + reason;
    }
    return std::string(verb(action)) + file + ": " + std::strerror(error_number);
}

IoError IoError::bad_content(const std::string& path, std::string reason, std::uint64_t line) {
    return IoError{Action::read, path, 0, std::move(reason), line};
}

IoError IoError::bad_record(const std::string& path, std::string record, std::string reason, std::uint64_t line) {
    return IoError{Action::read, path, 0, std::move(reason), line, std::move(record)};
}

IoError IoError::changed_while_read(const std::string& path) { return IoError{Action::change, path, 0, {}, 0}; }

}  // namespace io
