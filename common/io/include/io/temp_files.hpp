// The temporary files of outputs being written, removed should the process be interrupted.
#pragma once

#include <memory>
#include <string>

namespace io {

// The temporary files of outputs being written. While it lives, SIGINT, SIGTERM and SIGHUP are
// caught by a helper thread, which removes every file still listed and then lets the signal
// end the process as it would have. Create it before any other thread starts, so that all of
// them leave these signals to the helper.
class TempFiles {
public:
    TempFiles();
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // Creates and lists a new file from `path_template` (ending in XXXXXX, replaced by the
    // name made); the descriptor, or -1 with errno set. Created and listed in one step, so an
    // interrupt never leaves a file that was not listed.
    int create(std::string& path_template);
    void remove(const std::string& path);

private:
    struct Watcher;
    std::unique_ptr<Watcher> watcher_;
};

}  // namespace io
