#include "talmiro/app/input_threads.hpp"

#include "threads/helper.hpp"

#include <exception>
#include <memory>
#include <vector>

namespace talmiro {

void for_each_input(std::size_t count, const std::function<void(std::size_t)>& work,
                    const std::function<void()>& in_parallel) {
    std::vector<std::exception_ptr> failures(count);
    const auto guarded = [&](std::size_t nth) {
        try {
            work(nth);
        } catch (...) {
            failures[nth] = std::current_exception();
        }
    };
    {
        std::vector<std::unique_ptr<threads::Helper>> helpers;
        std::vector<std::size_t> here;  // where no thread could be had
        for (std::size_t nth = 1; nth < count; ++nth) {
            auto helper = std::make_unique<threads::Helper>([&guarded, nth](std::stop_token) { guarded(nth); });
            if (helper->running()) {
                helpers.push_back(std::move(helper));
            } else {
                here.push_back(nth);
            }
        }
        if (here.empty() && in_parallel) {
            in_parallel();
        }
        if (count > 0) {
            guarded(0);
        }
        for (const std::size_t nth : here) {
            guarded(nth);
        }
    }  // the helpers are joined here
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

}  // namespace talmiro
