#include "io/temp_files.hpp"

#include "threads/helper.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace io {

namespace {

// Where no watcher thread can be had, a plain handler removes the files. A signal handler can
// reach nothing but what the process holds in one place, so the one TempFiles of a run is
// registered here while it lives (as the kernel has one handler per signal anyway); its list
// is only changed with the signals blocked, so the handler never sees it half changed.
std::atomic<std::vector<std::string>*> paths_for_the_handler{nullptr};

void remove_and_die(int signal) {
    if (const std::vector<std::string>* const paths = paths_for_the_handler.load()) {
        for (const std::string& path : *paths) {
            ::unlink(path.c_str());
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

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
            // No thread to be had (a process limit): a plain handler does the watcher's work.
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            handle_without_a_thread();
        }
    }

    void handle_without_a_thread() {
        paths_for_the_handler.store(&paths);
        struct sigaction action {};
        action.sa_handler = remove_and_die;
        sigfillset(&action.sa_mask);
        for (std::size_t index = 0; index < handled.size(); ++index) {
            ::sigaction(handled[index], &action, &replaced[index]);
        }
        by_handler = true;
    }

    // Changes to the list, made with the signals blocked where a handler reads it.
    template <typename Change>
    void change_paths(Change&& change) {
        const std::lock_guard lock(mutex);
        sigset_t before{};
        if (by_handler) {
            pthread_sigmask(SIG_BLOCK, &watched, &before);
        }
        change();
        if (by_handler) {
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
        }
    }

    ~Watcher() {
        if (by_handler) {
            for (std::size_t index = 0; index < handled.size(); ++index) {
                ::sigaction(handled[index], &replaced[index], nullptr);
            }
            paths_for_the_handler.store(nullptr);
        }
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
    static constexpr std::array<int, 3> handled = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> replaced{};
    bool by_handler = false;
    std::optional<threads::Helper> helper;  // last: started once the rest is in place
};

TempFiles::TempFiles() : watcher_(std::make_unique<Watcher>()) {}
TempFiles::~TempFiles() = default;

int TempFiles::create(std::string& path_template) {
    int fd = -1;
    watcher_->change_paths([&] {
        fd = ::mkostemp(path_template.data(), O_CLOEXEC);
        if (fd >= 0) {
            watcher_->paths.push_back(path_template);
        }
    });
    return fd;
}

void TempFiles::remove(const std::string& path) {
    watcher_->change_paths([&] {
        auto& paths = watcher_->paths;
        paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    });
}

}  // namespace io
