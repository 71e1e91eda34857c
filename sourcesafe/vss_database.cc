#include "sourcesafe/vss_database.h"

#include <string>
#include <string_view>
#include <vector>

#include "sourcesafe/connection.h"
#include "sourcesafe/vss_error.h"
#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/folder_entries.h"
#include "vssdb/srcsafe_ini.h"
#include "vssdb/time_zone.h"
#include "vssdb/user_file_format.h"
#include "vssdb/zone_name.h"

namespace sourcesafe {

struct IVSSDatabase::Object {
    Guid interfaceId;
    std::shared_ptr<Connection> connection;  // null until opened
};

HRESULT CreateInstance(const Guid& classId, std::uint32_t context, const Guid& interfaceId,
                       IVSSDatabase& out) {
    out.Release();
    if (classId != CLSID_VSSDatabase || (context & CLSCTX_ALL_SERVERS) == 0) {
        return CLASS_E_CLASSNOTAVAILABLE_RESULT;
    }
    if (interfaceId != IID_IVSSDatabase6 && interfaceId != IID_IVSSDatabase) {
        return E_NOINTERFACE_RESULT;
    }
    out.object_ = std::make_shared<IVSSDatabase::Object>();
    out.object_->interfaceId = interfaceId;
    return S_OK;
}

const IVSSDatabase::Object& IVSSDatabase::Require() const {
    if (!object_) {
        ThrowEmptyHolder("IVSSDatabase");
    }
    return *object_;
}

Guid IVSSDatabase::InterfaceId() const {
    return Require().interfaceId;
}

void IVSSDatabase::Open(const std::string& iniPath, const std::string& user,
                        const std::string& password) {
    Open(iniPath, user, password, OpenSettings{});
}

void IVSSDatabase::Open(const std::string& iniPath, const std::string& user,
                        const std::string& password, const OpenSettings& settings) {
    Require();
    auto connection = std::make_shared<Connection>();
    Guarded([&] {
        vssdb::OpenOptions options;
        options.codePage = settings.codePage;
        options.settleCodePageLate = settings.settleCodePageLate;
        connection->database = vssdb::Database::Open(iniPath, options);
        connection->database->Login(user, password);
    });
    connection->userName = user.empty() ? vssdb::Database::DefaultUserName() : user;
    try {
        connection->timeZone = vssdb::TimeZoneOf(vssdb::ReadSrcSafeIni(iniPath));
    } catch (const vssdb::Error&) {
        // Read a moment ago to open the database; gone now, it names no zone.
    }
    object_->connection = std::move(connection);
}

const TimeZone* IVSSDatabase::Zone() const {
    const Connection& connection = RequireOpen();
    return connection.timeZone ? &*connection.timeZone : nullptr;
}

std::string IVSSDatabase::ZoneName() const {
    const Connection& connection = RequireOpen();
    if (!connection.timeZone) {
        return {};
    }
    vssdb::Database& database = *connection.database;
    const bool settled = database.codePageOrigin() != vssdb::CodePageOrigin::kAsciiOnly;
    return Guarded([&] {
        return vssdb::ZoneNameText(*connection.timeZone, settled ? database.codePage() : 0);
    });
}

IVSSItem IVSSDatabase::VSSItem(const std::string& spec, bool /*deleted*/) const {
    const Object& object = Require();
    if (!object.connection) {
        throw VssError(E_UNEXPECTED_RESULT, "the database is not open");
    }
    return Guarded(
        [&] { return IVSSItem(object.connection, object.connection->database->Locate(spec)); });
}

const Connection& IVSSDatabase::RequireOpen() const {
    const Object& object = Require();
    if (!object.connection) {
        throw VssError(E_UNEXPECTED_RESULT, "the database is not open");
    }
    return *object.connection;
}

// These three may take the census of the database's texts.
int IVSSDatabase::CodePage() const {
    const Connection& connection = RequireOpen();
    return Guarded([&] { return connection.database->codePage(); });
}

CodePageOrigin IVSSDatabase::GetCodePageOrigin() const {
    const Connection& connection = RequireOpen();
    switch (Guarded([&] { return connection.database->codePageOrigin(); })) {
        case vssdb::CodePageOrigin::kGiven:
            return CodePageOrigin::kForced;
        case vssdb::CodePageOrigin::kAsciiOnly:
            return CodePageOrigin::kNotNeeded;
        case vssdb::CodePageOrigin::kGuessed:
            break;
    }
    return CodePageOrigin::kGuessed;
}

std::string IVSSDatabase::Username() const {
    return RequireOpen().userName;
}

IVSSUsers IVSSDatabase::Users() const {
    vssdb::Database& database = *RequireOpen().database;
    std::vector<IVSSUser> users;
    Guarded([&] {
        for (const vssdb::UserRecord& record : database.users()) {
            users.emplace_back(database.Decode(record.name),
                               (record.flags & vssdb::user_file_format::kReadOnly) != 0);
        }
    });
    return IVSSUsers(std::move(users));
}

std::string IVSSDatabase::SrcSafeIni() const {
    return RequireOpen().database->iniPath();
}

std::string IVSSDatabase::DataFolder() const {
    return RequireOpen().database->dataPath();
}

std::string IVSSDatabase::UsersFolder() const {
    try {
        return vssdb::LocateUsers(SrcSafeIni()).folder;
    } catch (const vssdb::Error&) {
        return {};
    }
}

std::string IVSSDatabase::UsersList() const {
    try {
        return vssdb::LocateUsers(SrcSafeIni()).list;
    } catch (const vssdb::Error&) {
        return {};
    }
}

void IVSSDatabase::ForgetCachedItems() const {
    const Connection& connection = RequireOpen();
    Guarded([&] { connection.database->ForgetCachedItems(); });
}

void IVSSDatabase::AllowProvisionalCodePage() const {
    const Connection& connection = RequireOpen();
    Guarded([&] { connection.database->AllowProvisionalCodePage(); });
}

bool IVSSDatabase::ConfirmCodePage(const std::function<void(std::size_t)>& logDone) const {
    const Connection& connection = RequireOpen();
    return Guarded([&] { return connection.database->ConfirmCodePage(logDone); });
}

std::size_t IVSSDatabase::CountItemLogs(const std::function<void()>& step) const {
    const std::string data = DataFolder();
    std::size_t count = 0;
    std::vector<std::string> letters;
    const auto countIn = [&](const std::string& folder, bool top) {
        vssdb::ForEachFolderEntry(folder, [&](std::string_view name) {
            if (step) {
                step();
            }
            if (vssdb::IsPhysicalName(name)) {
                ++count;
            } else if (top && name.size() == 1) {
                letters.emplace_back(name);
            }
        });
    };
    countIn(data, true);
    for (const std::string& letter : letters) {
        countIn(data + "/" + letter, false);
    }
    return count;
}

bool IVSSDatabase::CodePagePending() const {
    return RequireOpen().database->codePagePending();
}

}  // namespace sourcesafe
