#include "export/open_database.h"

#include <QFile>

#include "sourcesafe/vss_error.h"

namespace varnotte {

sourcesafe::IVSSDatabase OpenDatabaseAs(const QString& iniPath, const QString& user,
                                        const QString& password,
                                        const sourcesafe::OpenSettings& settings) {
    return OpenDatabaseAs(QFile::encodeName(iniPath).toStdString(), user, password, settings);
}

sourcesafe::IVSSDatabase OpenDatabaseAs(const std::string& iniPath, const QString& user,
                                        const QString& password,
                                        const sourcesafe::OpenSettings& settings) {
    if (!user.isValidUtf16() || !password.isValidUtf16()) {
        throw sourcesafe::VssError(sourcesafe::ESS_BAD_PASSWORD,
                                   "the user name or password is not valid text");
    }
    sourcesafe::IVSSDatabase database;
    if (sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase, sourcesafe::CLSCTX_ALL_SERVERS,
                                   sourcesafe::IID_IVSSDatabase6, database) != sourcesafe::S_OK) {
        throw sourcesafe::VssError(sourcesafe::CLASS_E_CLASSNOTAVAILABLE_RESULT,
                                   "cannot create a database object");
    }
    database.Open(iniPath, user.toStdString(), password.toStdString(), settings);
    return database;
}

}  // namespace varnotte
