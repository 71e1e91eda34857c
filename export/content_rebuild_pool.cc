#include "export/content_rebuild_pool.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace varnotte {

ContentRebuildPool::ContentRebuildPool(unsigned threads, Rebuild rebuild)
    : rebuild_(std::move(rebuild)) {
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

ContentRebuildPool::~ContentRebuildPool() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        DropQueued(queue_.end());
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void ContentRebuildPool::Add(Job job) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        auto entry = std::make_shared<Entry>();
        entry->job = std::move(job);
        queue_.push_back(std::move(entry));
    }
    wake_.notify_one();
}

std::size_t ContentRebuildPool::Size() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return queue_.size();
}

void ContentRebuildPool::DropQueued(std::deque<std::shared_ptr<Entry>>::iterator end) {
    for (auto at = queue_.begin(); at != end; ++at) {
        (*at)->dropped = true;
    }
    queue_.erase(queue_.begin(), end);
}

std::optional<ContentFacts> ContentRebuildPool::Take(const std::string& physical,
                                                     const std::string& storedType,
                                                     sourcesafe::ContentReader& reader) {
    std::unique_lock<std::mutex> guard(lock_);
    const auto found = std::find_if(queue_.begin(), queue_.end(), [&](const auto& entry) {
        return entry->job.source.physical == physical;
    });
    if (found == queue_.end()) {
        return std::nullopt;
    }
    DropQueued(found);
    const std::shared_ptr<Entry> entry = std::move(queue_.front());
    queue_.pop_front();
    if (entry->job.storedType != storedType) {
        entry->dropped = true;
        return std::nullopt;
    }
    if (!entry->started) {
        // Waiting for a thread to start it would leave this one idle.
        entry->started = true;
        guard.unlock();
        Run(*entry, reader);
    } else {
        done_.wait(guard, [&] { return entry->done; });
    }
    if (entry->failure) {
        std::rethrow_exception(entry->failure);
    }
    return std::move(entry->facts);
}

void ContentRebuildPool::Clear() {
    const std::lock_guard<std::mutex> guard(lock_);
    DropQueued(queue_.end());
}

void ContentRebuildPool::Work() {
    // The reader remembers the data folder's listings: one for each thread.
    sourcesafe::ContentReader reader;
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        std::shared_ptr<Entry> entry;
        wake_.wait(guard, [&] {
            const auto next = std::find_if(queue_.begin(), queue_.end(),
                                           [](const auto& queued) { return !queued->started; });
            if (next != queue_.end()) {
                entry = *next;
            }
            return stopping_ || entry != nullptr;
        });
        if (stopping_) {
            return;
        }
        entry->started = true;
        guard.unlock();
        Run(*entry, reader);
        guard.lock();
        entry->done = true;
        done_.notify_all();
    }
}

void ContentRebuildPool::Run(Entry& entry, sourcesafe::ContentReader& reader) {
    try {
        entry.facts = rebuild_(reader, entry.job, [&] { return stopping_ || entry.dropped; });
    } catch (...) {
        entry.failure = std::current_exception();
    }
}

}  // namespace varnotte
