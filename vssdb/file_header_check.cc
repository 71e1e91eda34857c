#include "vssdb/file_header_check.h"

#include <string>

#include "vssdb/error.h"
#include "vssdb/record_format.h"

namespace vssdb {

namespace fh = file_header_format;

void CheckItemFileHeader(const ByteView& file) {
    if (file.size() < fh::kSize) {
        ThrowCorrupt(file.file(),
                     "too short for an item file (" + std::to_string(file.size()) + " bytes)");
    }
    const std::string_view signature = file.CString(0, fh::kSignatureSize);
    const std::uint16_t version = file.U16(fh::kFormatVersionOffset);
    if (signature == fh::kOldItemSignature ||
        (signature == fh::kItemSignature && version < fh::kFormatVersion)) {
        throw Error(ErrorKind::kIncompatible, file.file(),
                    "item file of an older SourceSafe format (" + std::string(signature) +
                        ", version " + std::to_string(version) +
                        "); only SourceSafe 6.0 and 2005 databases can be read");
    }
    if (signature != fh::kItemSignature) {
        ThrowCorrupt(file.file(), "not a SourceSafe item file");
    }
    if (version != fh::kFormatVersion) {
        throw Error(ErrorKind::kIncompatible, file.file(),
                    "unknown item file format version " + std::to_string(version));
    }
}

bool IsCurrentItemFile(const ByteView& file) {
    return file.size() >= fh::kSize && file.CString(0, fh::kSignatureSize) == fh::kItemSignature &&
           file.U16(fh::kFormatVersionOffset) == fh::kFormatVersion;
}

}  // namespace vssdb
