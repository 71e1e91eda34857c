// A project's child list (the JP records of its current data file). The input starts with
// the little-endian u16 count of entries that the project's header would give; the rest is
// the file, read as the database reads it (a list of another length is refused) and also
// record by record regardless of the count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vssdb/error.h"
#include "vssdb/physical_file.h"
#include "vssdb/project_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto count = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const vssdb::PhysicalFile file = vssdb::PhysicalFile::FromBytes(
        "fuzz/a/aaaaaaaa.a", std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
    for (const bool counted : {true, false}) {
        try {
            for (const vssdb::ProjectEntry& entry :
                 counted ? vssdb::ReadChildList(file, count) : vssdb::ReadProjectEntries(file)) {
                entry.deleted();
                entry.shared();
                entry.name.isProject();
            }
        } catch (const vssdb::Error&) {
        }
    }
    return 0;
}
