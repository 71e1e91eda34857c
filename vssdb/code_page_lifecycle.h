// The code page of one open database, from its open to the last text decoded.
//
// At open the code page is given, remembered from an earlier open (code_page_memory.h), or
// found out by a census of every text of the database (text_census.h). The census may be
// put off: it is then taken in passing from the logs the database reads anyway, and
// finished when a non-ASCII text first needs the code page or someone asks which it is.
// A caller that can start its work over may instead have such texts read in a provisional
// code page, guessed from the texts met so far, and confirm it once the census is done.
//
// Every step that may read the logs of the whole database is a non-const call here, and
// the Database that owns this object reaches them only from its own non-const methods.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codepage/text_decoder.h"
#include "vssdb/data_folder.h"
#include "vssdb/item_log.h"
#include "vssdb/names_file.h"
#include "vssdb/project_entries.h"
#include "vssdb/user_file.h"

namespace vssdb {

// How an open database's code page was settled.
enum class CodePageOrigin {
    kGiven,      // OpenOptions::codePage named it
    kGuessed,    // found out from the database's texts
    kAsciiOnly,  // every text is ASCII, so any code page reads them alike
};

class CodePageLifecycle {
  public:
    // The census reads `folder`, `names` and `users`, which must outlive this object (they
    // are the owning database's; names.dat may be read again into `names` meanwhile).
    CodePageLifecycle(const DataFolder& folder, const NamesFile& names,
                      const std::vector<UserRecord>& users);
    ~CodePageLifecycle();
    CodePageLifecycle(const CodePageLifecycle&) = delete;
    CodePageLifecycle& operator=(const CodePageLifecycle&) = delete;

    // Once, at open. `given`: the code page to read the texts in, 0 to find it out, with
    // `tieBreak` (0: the locale's ANSI code page) where the texts leave a choice. With
    // `putOffCensus` the census is taken in passing (LogRead, ChildListRead) and finished
    // when first needed. Throws Error(kInvalidArgument) for a code page not supported.
    void Decide(int given, int tieBreak, bool putOffCensus);

    // What the owning database read, for a census put off.
    void LogRead(const std::string& physical, const ItemLog& log);
    void ChildListRead(const std::string& projectPhysical,
                       const std::vector<ProjectEntry>& entries);

    // From now on, a non-ASCII text needed before a put-off census is finished is read in a
    // code page guessed from the texts met so far, and the census goes on.
    void AllowProvisional();
    // Finishes the census. False when its answer is not the code page texts were read in
    // meanwhile: everything decoded so far must be asked for again. `logDone` is told how
    // far the census is (PassingCensus::Finish); when it throws, the census ends unfinished
    // and the database must not be used again.
    bool Confirm(const std::function<void(std::size_t logsDone)>& logDone = {});
    // Whether a put-off census is still to be finished: the logs lie ahead.
    bool censusPending() const { return census_ != nullptr; }

    // Both finish a put-off census.
    int codePage();
    CodePageOrigin origin();

    // Before a non-ASCII text is decoded or encoded: finishes a put-off census, or guesses a
    // provisional code page when that is allowed.
    void PrepareForNonAscii();
    // Text of the database in UTF-8 (undecodable bytes become U+FFFD).
    std::string Decode(std::string_view bytes);
    // UTF-8 text in the database's code page; none when that page cannot write it.
    std::optional<std::string> Encode(std::string_view utf8);

  private:
    struct PutOffCensus;
    void FinishCensus(const std::function<void(std::size_t)>& logDone = {});

    const DataFolder& folder_;
    const NamesFile& names_;
    const std::vector<UserRecord>& users_;
    std::unique_ptr<codepage::TextDecoder> decoder_;
    CodePageOrigin origin_ = CodePageOrigin::kGiven;
    std::unique_ptr<PutOffCensus> census_;  // set until a put-off census is finished
    // The finished census overturned the provisional code page; Confirm tells.
    bool overturned_ = false;
    // Recently decoded short non-ASCII texts: the same project specs, user names and labels
    // come back in version after version, and each conversion costs several iconv calls.
    struct DecodedText {
        std::string bytes;
        std::string utf8;
    };
    std::vector<DecodedText> decoded_;
};

}  // namespace vssdb
