#include "vssdb/file_records.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace vssdb {

namespace {

// Visits the records of a chain that starts at `first`, each naming the one before it by
// the u32 at `previous` in its body, until 0. No record may be read twice: a chain that
// comes back overlaps what was read.
void ForEachLinked(const ItemLog& log, std::uint32_t first, std::string_view signature,
                   std::size_t previous, const std::function<void(const Record&)>& visit) {
    DisjointRecords records;
    for (std::uint32_t offset = first; offset != 0;) {
        const Record record = records.Read(log.records(), offset, signature);
        visit(record);
        offset = record.body.U32(previous);
    }
}

}  // namespace

std::vector<Checkout> ReadCheckouts(const ItemLog& log) {
    namespace cf = checkout_format;
    std::vector<Checkout> checkouts;
    if (log.header().type != ItemType::kFile) {
        return checkouts;
    }
    ForEachLinked(
        log, log.header().activeCheckout, record_format::kCheckout, cf::kPreviousCheckout,
        [&](const Record& record) {
            const ByteView& body = record.body;
            Checkout checkout;
            checkout.user = std::string(body.CString(cf::kUser, cf::kUserSize));
            checkout.time = body.U32(cf::kTime);
            checkout.folder = std::string(body.CString(cf::kWorkingFolder, cf::kWorkingFolderSize));
            checkout.machine = std::string(body.CString(cf::kMachine, cf::kMachineSize));
            checkout.project = std::string(body.CString(cf::kProjectSpec, cf::kProjectSpecSize));
            checkout.comment = std::string(body.CString(cf::kComment, cf::kCommentSize));
            checkout.version = body.U16(cf::kVersion);
            checkout.exclusive = (body.U16(cf::kFlags) & cf::kExclusive) != 0;
            checkouts.push_back(std::move(checkout));
        });
    return checkouts;
}

std::vector<std::string> ReadParentProjects(const ItemLog& log) {
    namespace fl = file_link_format;
    std::vector<std::string> projects;
    if (log.header().type != ItemType::kFile) {
        return projects;
    }
    ForEachLinked(log, log.header().lastParentRecord, record_format::kParentProject, fl::kPrevious,
                  [&](const Record& record) {
                      std::string physical(record.body.CString(fl::kPhysical, fl::kPhysicalSize));
                      if (physical.empty()) {
                          return;  // a project that no longer holds the file
                      }
                      if (!IsPhysicalName(physical)) {
                          ThrowCorruptAt(log.path(), record.offset,
                                         "parent project record names no physical item");
                      }
                      projects.push_back(std::move(physical));
                  });
    std::reverse(projects.begin(), projects.end());
    return projects;
}

}  // namespace vssdb
