#include "vssdb/current_content.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "vssdb/crc.h"
#include "vssdb/error.h"
#include "vssdb/physical_file.h"

namespace vssdb {
namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::uint32_t CrcOf(std::string_view bytes) {
    return Crc32ZeroInit(bytes.data(), bytes.size());
}

}  // namespace

std::string RestoreCrLf(std::string_view bytes) {
    std::string restored;
    restored.reserve(bytes.size() +
                     static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    char before = '\0';
    for (const char c : bytes) {
        if (c == '\n' && before != '\r') {
            restored.push_back('\r');
        }
        restored.push_back(c);
        before = c;
    }
    return restored;
}

CurrentContent ReadCurrentContent(const DataFolder& folder, std::string_view physical,
                                  const ItemHeader& header, const std::string& logPath) {
    const char extension = header.dataExtension;
    CurrentContent content;
    content.path = folder.FindData(physical, extension);
    if (content.path.empty()) {
        ThrowCorrupt(logPath + "." + static_cast<char>(std::tolower(extension)),
                     "data file missing (the file's current content)");
    }
    PhysicalFile::ReadInto(content.path, content.bytes);
    const std::uint32_t found = CrcOf(content.bytes);
    if (found == header.dataCrc) {
        return content;
    }
    std::string restored = RestoreCrLf(content.bytes);
    const bool anyRestored = restored.size() != content.bytes.size();
    if (anyRestored && CrcOf(restored) == header.dataCrc) {
        content.bytes = std::move(restored);
        content.lineEndingsRestored = true;
        return content;
    }
    ThrowCorrupt(
        content.path,
        "content (" + std::to_string(content.bytes.size()) +
            " bytes) does not match the checksum its item header records (" + Hex(header.dataCrc) +
            ", found " + Hex(found) +
            (anyRestored ? ", and with CR LF restored " + Hex(CrcOf(restored)) : std::string()) +
            ")");
}

}  // namespace vssdb
