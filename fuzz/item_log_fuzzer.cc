// An item's log file: header, version chain, newest version, checkouts and parent projects,
// and every record on its own as the code page census reads them; the log both from memory
// and read record by record from a file, as large logs are.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/scratch_folder.h"
#include "vssdb/error.h"
#include "vssdb/file_header_check.h"
#include "vssdb/file_records.h"
#include "vssdb/item_log.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace {

void ReadEveryRecord(const vssdb::PhysicalFile& file) {
    if (!vssdb::IsCurrentItemFile(file.view())) {
        return;
    }
    try {
        vssdb::ForEachRecord(file.view(), vssdb::file_header_format::kSize,
                             [](const vssdb::Record& record) {
                                 if (record.signature == vssdb::record_format::kRevision) {
                                     vssdb::ParseRevision(record);
                                 }
                             });
    } catch (const vssdb::Error&) {
    }
}

void ReadChain(const vssdb::ItemLog& log) {
    try {
        log.ReadLatestRevision();
    } catch (const vssdb::Error&) {
    }
    try {
        vssdb::ReadCheckouts(log);
    } catch (const vssdb::Error&) {
    }
    try {
        vssdb::ReadParentProjects(log);
    } catch (const vssdb::Error&) {
    }
    try {
        log.ReadRevisions();
    } catch (const vssdb::Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadEveryRecord(vssdb::PhysicalFile::FromBytes("fuzz/a/aaaaaaaa", bytes));
    try {
        ReadChain(vssdb::ItemLog(vssdb::PhysicalFile::FromBytes("fuzz/a/aaaaaaaa", bytes)));
    } catch (const vssdb::Error&) {
    }
    static const varnotte::fuzz::ScratchFolder scratch("varnotte-fuzz-log-");
    scratch.Write("aaaaaaaa", bytes);
    try {
        ReadChain(vssdb::ItemLog(vssdb::OpenLog((scratch.path() / "aaaaaaaa").string(),
                                                vssdb::ReadDirection::kBackward, 0)));
    } catch (const vssdb::Error&) {
    }
    return 0;
}
