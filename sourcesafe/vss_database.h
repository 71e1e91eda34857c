// The database object of the automation layer, and the operation that creates one.
//
// Objects here are holders, as the automation component's interface pointers are: a
// default-constructed holder is empty, copying shares the object, and every call through
// an empty holder raises VssError(E_POINTER). Every failure raises VssError with the
// result code of result_codes.h. Texts are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sourcesafe/guids.h"
#include "sourcesafe/result_codes.h"
#include "sourcesafe/time_zone.h"
#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_user.h"

namespace sourcesafe {

struct Connection;

// How to read a database beyond what the automation interface can say.
struct OpenSettings {
    int codePage = 0;  // the database's ANSI code page; 0 finds it out
    // Find it out only when first needed, from what an export reads anyway (an export of
    // a database whose texts are all ASCII then reads each log once). The answer is the
    // same; only the time it takes moves.
    bool settleCodePageLate = false;
};

// How the open database's code page was settled.
enum class CodePageOrigin {
    kForced,     // OpenSettings::codePage named it
    kGuessed,    // found out from the database's texts
    kNotNeeded,  // every text is ASCII: any code page reads them alike
};

class IVSSDatabase {
  public:
    IVSSDatabase() = default;

    bool IsEmpty() const { return !object_; }
    void Release() { object_.reset(); }
    // Which interface the object was created for (IID_IVSSDatabase6 or IID_IVSSDatabase).
    Guid InterfaceId() const;

    // Opens the database of `iniPath` for `user` (empty: the current login name).
    // Opening again replaces the connection; items reached before keep the old one.
    void Open(const std::string& iniPath, const std::string& user, const std::string& password);
    void Open(const std::string& iniPath, const std::string& user, const std::string& password,
              const OpenSettings& settings);

    // The item at `spec` ("$/", "$//", "$/A/", "$/A/b.txt"). Deleted items are never found,
    // whatever `deleted` says.
    IVSSItem VSSItem(const std::string& spec, bool deleted = false) const;

    // The code page the open database's texts are read in.
    int CodePage() const;
    CodePageOrigin GetCodePageOrigin() const;

    // The database's time zone as its srcsafe.ini names it (VSS 2005), read when it was
    // opened; null when it names none. Stored times are that zone's wall clock.
    const TimeZone* Zone() const;
    // The zone's name as srcsafe.ini gives it (may be empty), decoded.
    std::string ZoneName() const;

    // The user the database was opened as, and every user of the database in its order.
    std::string Username() const;
    IVSSUsers Users() const;

    // The srcsafe.ini the database was opened from, and the data folder it names: the
    // files an export must never replace.
    std::string SrcSafeIni() const;
    std::string DataFolder() const;
    // The users' folder and the list of users that srcsafe.ini names, as it says now; each
    // empty when it names none that can be reached here or the ini cannot be read.
    std::string UsersFolder() const;
    std::string UsersList() const;

    // Another client may change the database at any time. The reader remembers child
    // lists and version numbers; this drops them, so that what is asked next comes from
    // the files as they are now. A walk calls it before it starts.
    void ForgetCachedItems() const;

    // With OpenSettings::settleCodePageLate, for a caller that can start its work over:
    // texts may be read in a provisional code page until the census of the database's
    // texts is finished, and ConfirmCodePage finishes it. It returns false when the answer
    // is another code page; everything asked for before must then be asked for again.
    void AllowProvisionalCodePage() const;
    // `logDone` is told, log by log, how far the census is; an exception it throws ends the
    // census unfinished and reaches the caller, after which this database must be released.
    bool ConfirmCodePage(const std::function<void(std::size_t logsDone)>& logDone = {}) const;
    // Whether ConfirmCodePage still has the database's logs to read.
    bool CodePagePending() const;
    // How many item logs the data folder holds (names of eight letters, in its letter
    // folders, or in itself as old databases keep them): about as many as the census
    // reads. The folders' access times stay as they were. `step` is called once per folder
    // entry; an exception it throws ends the count and reaches the caller.
    std::size_t CountItemLogs(const std::function<void()>& step = {}) const;

  private:
    struct Object;
    friend HRESULT CreateInstance(const Guid&, std::uint32_t, const Guid&, IVSSDatabase&);
    const Object& Require() const;
    const Connection& RequireOpen() const;

    std::shared_ptr<Object> object_;
};

// Creates a database object of class CLSID_VSSDatabase for interface IID_IVSSDatabase6 or
// IID_IVSSDatabase. Returns S_OK and fills `out`, or a failure code and leaves `out` empty.
HRESULT CreateInstance(const Guid& classId, std::uint32_t context, const Guid& interfaceId,
                       IVSSDatabase& out);

}  // namespace sourcesafe
