// Files' content rebuilt on threads of their own, in the order the files are queued, each
// result kept until it is taken. A caller that queues the files it will ask for next (see
// walk_look_ahead.h) finds most of them rebuilt, or under way, when it gets to them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "export/content_facts.h"
#include "sourcesafe/content_reader.h"

namespace varnotte {

class ContentRebuildPool {
  public:
    struct Job {
        sourcesafe::ContentSource source;
        std::string storedType;  // IVSSItem::StoredFileType, taken with the source
    };
    // Rebuilds a job's file through the reader of the calling thread; `stop` tells when
    // the result is no longer wanted, and the rebuild may then end early.
    using Rebuild = std::function<ContentFacts(sourcesafe::ContentReader& reader, const Job& job,
                                               const std::function<bool()>& stop)>;

    ContentRebuildPool(unsigned threads, Rebuild rebuild);
    // Stops the rebuilds under way and waits for the threads to end.
    ~ContentRebuildPool();
    ContentRebuildPool(const ContentRebuildPool&) = delete;
    ContentRebuildPool& operator=(const ContentRebuildPool&) = delete;

    void Add(Job job);
    // The jobs queued, under way, or done and not taken.
    std::size_t Size() const;
    // The result of the first job queued for `physical`: waits while it is under way, and
    // rebuilds it here through `reader` when no thread has started it yet. The jobs queued
    // before it are dropped, as never to be asked for. Nothing when no job for `physical`
    // is queued, or when it was queued with another stored type (it is dropped too).
    // Anything else than a VssError that the rebuild raised is raised here.
    std::optional<ContentFacts> Take(const std::string& physical, const std::string& storedType,
                                     sourcesafe::ContentReader& reader);
    // Drops every job; those under way are told to stop.
    void Clear();

  private:
    struct Entry {
        Job job;
        bool started = false;
        bool done = false;
        std::atomic<bool> dropped{false};
        // Written by the thread that runs the job, read once `done` is seen.
        std::optional<ContentFacts> facts;
        std::exception_ptr failure;
    };

    void Work();
    void Run(Entry& entry, sourcesafe::ContentReader& reader);
    // Under the lock.
    void DropQueued(std::deque<std::shared_ptr<Entry>>::iterator end);

    Rebuild rebuild_;
    mutable std::mutex lock_;
    std::condition_variable wake_;  // for the threads: a job queued, or stopping
    std::condition_variable done_;  // for Take: a job done
    std::deque<std::shared_ptr<Entry>> queue_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

}  // namespace varnotte
