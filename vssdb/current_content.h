// A file's current content: its data file (.A or .B, as the item header says), checked
// against the checksum the item header stores.
//
// Copies made in text mode (FTP, or git, which rewrote every fixture database's content
// files) turn the CR LF line endings of text files into LF. The item header's checksum
// tells: when the bytes as found fail it and the bytes with CR LF restored match, the
// restored bytes are the content, and the file is named as restored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vssdb/data_folder.h"
#include "vssdb/item_log.h"

namespace vssdb {

struct CurrentContent {
    std::string path;  // of the data file
    std::string bytes;
    // The data file failed its checksum and matched once CR LF was restored: `bytes` are
    // the restored ones.
    bool lineEndingsRestored = false;
};

// What a data file whose line endings were restored is told apart by.
inline constexpr std::string_view kLineEndingsRestored =
    "line endings rewritten from CR LF to LF by a copy, and restored";

// `bytes` with a CR put before every LF that has none.
std::string RestoreCrLf(std::string_view bytes);

// Reads the current data file of the file item `physical`, whose log header is `header`
// (`logPath` names the log in messages). Throws Error(kCorrupt) when the data file is
// missing or fails the checksum both as found and with CR LF restored, and as
// PhysicalFile::Read when it cannot be read.
CurrentContent ReadCurrentContent(const DataFolder& folder, std::string_view physical,
                                  const ItemHeader& header, const std::string& logPath);

}  // namespace vssdb
