// Opening a database and logging in, as the project tree and varnotte-csv both do.
#pragma once

#include <QString>

#include <string>

#include "sourcesafe/vss_database.h"

namespace varnotte {

// Creates the database object, opens `iniPath` and logs in. Throws VssError: what Open
// throws, ESS_BAD_PASSWORD when the user name or password is no valid text (QString would
// make "?" of an unpaired surrogate, which could then match a real name or password), and
// CLASS_E_CLASSNOTAVAILABLE_RESULT when no database object can be made.
sourcesafe::IVSSDatabase OpenDatabaseAs(const QString& iniPath, const QString& user,
                                        const QString& password,
                                        const sourcesafe::OpenSettings& settings = {});
// The same for an ini path given as the bytes of its name, which need not be UTF-8.
sourcesafe::IVSSDatabase OpenDatabaseAs(const std::string& iniPath, const QString& user,
                                        const QString& password,
                                        const sourcesafe::OpenSettings& settings = {});

}  // namespace varnotte
