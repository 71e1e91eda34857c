#include "vssdb/name_doubt.h"

#include "vssdb/name_format.h"

namespace vssdb {

NameDoubt DoubtAboutShortName(std::string_view shortName, FileFault cause) {
    // 33 bytes, or 32 where the cut kept a double-byte character whole.
    constexpr std::size_t kFull = name_format::kShortNameSize - 1;
    NameDoubt doubt;
    doubt.cause = std::move(cause);
    doubt.mayBeCut = shortName.size() + 1 >= kFull;
    doubt.mayHaveHadSpaces = shortName.find('_') != std::string_view::npos;
    return doubt;
}

std::string NameDoubt::Describe() const {
    std::string text = "it may have lost a leading dot";
    if (mayHaveHadSpaces) {
        text += ", may have had spaces (shown as _)";
    }
    if (mayBeCut) {
        text += ", may be cut";
    }
    return text;
}

}  // namespace vssdb
