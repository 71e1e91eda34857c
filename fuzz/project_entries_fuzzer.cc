// A project's child list (the JP records of its current data file).
#include <cstddef>
#include <cstdint>
#include <string>

#include "vssdb/error.h"
#include "vssdb/physical_file.h"
#include "vssdb/project_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        for (const vssdb::ProjectEntry& entry : vssdb::ReadProjectEntries(
                 vssdb::PhysicalFile::FromBytes("fuzz/a/aaaaaaaa.a", bytes))) {
            entry.deleted();
            entry.shared();
            entry.name.isProject();
        }
    } catch (const vssdb::Error&) {
    }
    return 0;
}
