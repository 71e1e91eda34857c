#include "sourcesafe/content_reader.h"

#include "sourcesafe/vss_error.h"
#include "vssdb/file_content.h"

namespace sourcesafe {

ContentReader::ContentReader() = default;
ContentReader::~ContentReader() = default;

ContentCheck ContentReader::Check(const ContentSource& file, const Visit& visit) {
    if (file.physical.empty()) {
        return {};
    }
    if (!reader_ || dataPath_ != file.dataPath) {
        reader_ = std::make_unique<vssdb::FileContentReader>(file.dataPath);
        dataPath_ = file.dataPath;
    }
    return CheckContentWith(*reader_, file.physical, visit);
}

ContentCheck CheckContentWith(vssdb::FileContentReader& reader, const std::string& physical,
                              const ContentReader::Visit& visit) {
    ContentCheck check;
    const vssdb::ContentSummary summary = Guarded([&] {
        return reader.ForEachVersion(physical, [&](const vssdb::VersionContent& content) {
            ++check.versions;
            return !visit || visit(content.version, content.bytes);
        });
    });
    check.storedBytes = static_cast<long long>(summary.storedBytes);
    check.latestOnly = summary.latestOnly;
    check.notKept = summary.notKept;
    check.restoredDataFiles = summary.restoredDataFiles;
    return check;
}

}  // namespace sourcesafe
