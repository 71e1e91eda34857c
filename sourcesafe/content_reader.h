// Rebuilding files' content on threads other than the one that reads the database. Items
// are not for sharing between threads (the database behind them remembers what it has
// read), so what a rebuild needs of a file is taken from its item on the thread that
// reads the database (IVSSItem::ContentSourceOf), and a reader of the thread's own
// rebuilds it from there.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sourcesafe/vss_item.h"

namespace vssdb {
class FileContentReader;
}  // namespace vssdb

namespace sourcesafe {

class ContentReader {
  public:
    ContentReader();
    ~ContentReader();
    ContentReader(const ContentReader&) = delete;
    ContentReader& operator=(const ContentReader&) = delete;

    // Called with every version's bytes, newest first (valid until it returns); false
    // stops the rebuild, and what comes back then covers the versions handed out.
    using Visit = std::function<bool(int version, std::string_view bytes)>;

    // Rebuilds every version of the file, as IVSSItem::CheckContent does, and raises as it
    // does. A project's source has no physical name: nothing is read.
    ContentCheck Check(const ContentSource& file, const Visit& visit);

  private:
    std::string dataPath_;
    // Of the data folder at dataPath_; it remembers the folder's listings.
    std::unique_ptr<vssdb::FileContentReader> reader_;
};

// The rebuild of IVSSItem::CheckContent and of ContentReader, through `reader`.
ContentCheck CheckContentWith(vssdb::FileContentReader& reader, const std::string& physical,
                              const ContentReader::Visit& visit);

}  // namespace sourcesafe
