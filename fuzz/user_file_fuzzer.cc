// um.dat: the users and their password hashes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vssdb/error.h"
#include "vssdb/physical_file.h"
#include "vssdb/user_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vssdb::ReadUsers(vssdb::PhysicalFile::FromBytes(
            "fuzz/um.dat", std::string(reinterpret_cast<const char*>(data), size)));
    } catch (const vssdb::Error&) {
    }
    return 0;
}
