#include "io/temp_files.hpp"

#include "threads/helper.hpp"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <optional>
#include <vector>
#include <unistd.h>

namespace io {

// The signals are blocked in every thread and taken by sigwait here, in an ordinary thread, so
// removing the files needs no async-signal-safe tricks. SIGUSR2 only wakes it to stop.
struct TempFiles::Watcher {
    Watcher() {
        sigemptyset(&watched);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR2}) {
            sigaddset(&watched, signal);
        }
        pthread_sigmask(SIG_BLOCK, &watched, &previous);
        helper.emplace([this](const std::stop_token&) { watch(); },
                       [this] {
                           stopping.store(true);
                           pthread_kill(helper->native_handle(), SIGUSR2);
                       });
        if (!helper->running()) {
            // No thread to be had (a process limit): the signals keep their default, and an
            // interrupt may leave a temporary file behind, though never a cut target.
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        }
    }

    ~Watcher() {
        if (helper->running()) {
            helper->stop();
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        }
    }

    void watch() {
        for (;;) {
            int signal = 0;
            if (sigwait(&watched, &signal) != 0) {
                continue;
            }
            if (signal == SIGUSR2) {
                if (stopping.load()) {
                    return;
                }
                continue;
            }
            // The lock is held until the process is gone, so no file can be created after these
            // are removed.
            mutex.lock();
            for (const std::string& path : paths) {
                ::unlink(path.c_str());
            }
            // End the process as the signal would have, so callers see how it died.
            std::signal(signal, SIG_DFL);
            sigset_t only{};
            sigemptyset(&only);
            sigaddset(&only, signal);
            pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
            std::raise(signal);
            ::_exit(128 + signal);
        }
    }

    sigset_t watched{};
    sigset_t previous{};
    std::mutex mutex;
    std::vector<std::string> paths;
    std::atomic<bool> stopping{false};
    std::optional<threads::Helper> helper;  // last: started once the rest is in place
};

TempFiles::TempFiles() : watcher_(std::make_unique<Watcher>()) {}
TempFiles::~TempFiles() = default;

int TempFiles::create(std::string& path_template) {
    const std::lock_guard lock(watcher_->mutex);
    const int fd = ::mkostemp(path_template.data(), O_CLOEXEC);
    if (fd >= 0) {
        watcher_->paths.push_back(path_template);
    }
    return fd;
}

void TempFiles::remove(const std::string& path) {
    const std::lock_guard lock(watcher_->mutex);
    auto& paths = watcher_->paths;
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

}  // namespace io
