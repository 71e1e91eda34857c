// Reading logs ahead of the walk, several at a time.
//
// From a cold cache or a network share every log costs a wait, and each version of a large
// log another: a large log is read record by record, and each record's place is known only
// once the one before it is read. Logs do not depend on each other, so the waits of
// several can overlap. For a small log (read whole in one read) the kernel is asked to
// read it ahead (posix_fadvise); of a large one, threads read the records that the census
// and the history will ask for (the item header, versions, comments and the heads of the
// deltas, never their bodies) into the page cache. The walk then finds them there. A large
// log whose start the cache holds already is passed over: reading it again would only take
// a core from the walk. Nothing read here is used, and a log that cannot be read is left
// to the walk to report.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vssdb {

class LogPrefetcher {
  public:
    explicit LogPrefetcher(int threads);
    ~LogPrefetcher();  // waits for the logs being read, drops the others
    LogPrefetcher(const LogPrefetcher&) = delete;
    LogPrefetcher& operator=(const LogPrefetcher&) = delete;

    // Queues the log files at these paths, to be read ahead in this order.
    void Prefetch(std::vector<std::string> paths);

  private:
    void Work();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vssdb
