#include "vssdb/user_file.h"

#include "vssdb/error.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/user_file_format.h"

namespace vssdb {

std::vector<UserRecord> ReadUsers(const PhysicalFile& file) {
    namespace fh = file_header_format;
    namespace uf = user_file_format;
    const ByteView view = file.view();
    if (view.size() < fh::kSize) {
        ThrowCorrupt(file.path(),
                     "too short for a user file (" + std::to_string(view.size()) + " bytes)");
    }
    const std::string_view signature = view.CString(0, fh::kSignatureSize);
    if (signature == fh::kOldUsersSignature) {
        throw Error(ErrorKind::kIncompatible, file.path(),
                    "user file of an older SourceSafe format (" + std::string(signature) + ")");
    }
    if (signature != fh::kUsersSignature) {
        ThrowCorrupt(file.path(), "not a SourceSafe user file");
    }
    std::vector<UserRecord> users;
    ForEachRecord(view, fh::kSize, [&](const Record& record) {
        if (record.signature != record_format::kUser) {
            return;
        }
        UserRecord user;
        user.name = std::string(record.body.CString(uf::kUserName, uf::kUserNameSize));
        user.passwordHash = record.body.U16(uf::kPasswordHash);
        user.flags = record.body.U16(uf::kUserFlags);
        users.push_back(std::move(user));
    });
    return users;
}

}  // namespace vssdb
