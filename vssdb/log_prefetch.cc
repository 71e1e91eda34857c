#include "vssdb/log_prefetch.h"

#include <exception>
#include <utility>

#include "vssdb/item_log.h"
#include "vssdb/physical_file.h"
#include "vssdb/text_census.h"

namespace vssdb {

LogPrefetcher::LogPrefetcher(int threads) {
    for (int i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

LogPrefetcher::~LogPrefetcher() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void LogPrefetcher::Prefetch(std::vector<std::string> paths) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        for (std::string& path : paths) {
            queue_.push_back(std::move(path));
        }
    }
    wake_.notify_all();
}

void LogPrefetcher::Work() {
    for (;;) {
        std::string path;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            path = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            const PositionedFile file(path);
            if (file.sizeOnDisk() <= kWholeLogReadLimit) {
                file.AdviseReadSoon(file.sizeOnDisk());
                continue;
            }
            if (file.StartIsCached()) {
                continue;
            }
            // What the census steps through is what the history reads, and more.
            OpenedLog log = OpenLog(path, ReadDirection::kForward);
            ForEachLogText(*log.records, [](std::string_view) {});
        } catch (const std::exception&) {
            // The walk reads it again and reports what is wrong.
        }
    }
}

}  // namespace vssdb
