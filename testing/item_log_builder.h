// One item's log file, built in memory as the item's actions happen: the file header, room
// for the item header (DH), then records appended in the order SourceSafe writes them.
// Every record offset is final when it is handed out; the item header is filled last.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "testing/record_builder.h"
#include "testing/stamp.h"
#include "vssdb/revision_format.h"

namespace vsstest {

// Where a revision's comment goes.
enum class CommentRule {
    kAlways,        // creations and check-ins: an MC record even for an empty comment
    kWhenGiven,     // other actions: an MC record only for a non-empty comment
    kRootCreation,  // like kWhenGiven, but no comment stores offset 0, as in every root log
};

// What the database knows about an item only when it is written.
struct ItemHeaderFields {
    NameField name;
    bool dataOnB = false;  // current data file is .B rather than .A
    // Projects.
    std::string parentSpec;
    std::string parentPhysical;
    std::uint16_t childCount = 0;
    std::uint16_t subprojectCount = 0;
    // Files.
    std::uint16_t fileFlags = 0;
    std::string branchSource;
    std::uint16_t parentCount = 0;
    std::uint32_t dataCrc = 0;
    std::uint32_t lastCheckInTime = 0;
    std::uint32_t modificationTime = 0;
    std::uint32_t creationTime = 0;
};

class ItemLogBuilder {
  public:
    using ActionFields = std::function<void(RecordBuilder&)>;
    using Action = vssdb::revision_format::Action;

    // Projects start with the item header; files also get their idle checkout record.
    explicit ItemLogBuilder(bool project);

    // Appends an EL for the item's next version and, right after it, the MC records of its
    // comment and label comment. `fields` writes the action-specific part. Returns the
    // EL's offset.
    std::uint32_t AppendRevision(Action action, const Stamp& stamp, CommentRule rule,
                                 const ActionFields& fields);
    std::uint32_t AppendLabel(const Stamp& stamp, std::string_view label,
                              std::string_view labelComment);

    // The label at `offset` (AppendLabel's answer) removed, as a real database shows
    // removed labels ("\0Ant - 1.0.1.0"): a zero byte before the name, which stays whole.
    void RemoveLabel(std::uint32_t offset);

    // A reverse delta that turns the next check-in's `content` back into `previousContent`.
    std::uint32_t AppendDelta(std::string_view previousContent, std::string_view content);

    // PF (a project now holding the file) and BF (a file branched off this one).
    std::uint32_t AppendParentLink(std::string_view projectPhysical);
    std::uint32_t AppendBranchLink(std::string_view branchPhysical);
    // A project that no longer holds the file: its PF keeps its place but loses the name.
    void BlankParentLink(std::uint32_t offset);

    // The file's checkout record: filled for a checkout of the current version, which
    // lasts until EndCheckout(). The record keeps its details after that.
    void StartCheckout(const Checkout& checkout, std::string_view projectSpec);
    // Another checkout of the checked-out file, as with multiple checkouts allowed: a CF
    // record of its own that points back at the one before and becomes the active one.
    // None of them is exclusive then.
    void AddCheckout(const Checkout& checkout, std::string_view projectSpec);
    // Ends every checkout of the file.
    void EndCheckout();
    bool checkedOut() const { return checkedOut_; }

    // Versions below this one live in the branch source (1 unless branched).
    void StartAtVersion(std::uint16_t firstVersion);
    std::uint16_t firstVersion() const { return firstVersion_; }
    std::uint16_t lastVersion() const { return lastVersion_; }

    // Fills the item header; the bytes are then the complete file.
    const std::string& Finish(const ItemHeaderFields& fields);
    // Frees the bytes once they are written; the log takes nothing more after that.
    void Release();

  private:
    std::uint32_t AppendRevisionRecord(Action action, const Stamp& stamp, CommentRule rule,
                                       std::string_view label, const std::string* labelComment,
                                       const ActionFields& fields);
    std::uint32_t AppendLink(std::string_view signature, std::uint32_t previous,
                             std::string_view physical);

    std::string bytes_;
    bool project_;
    std::uint16_t revisionCount_ = 0;
    std::uint32_t firstRevision_ = 0;
    std::uint32_t lastRevision_ = 0;
    std::uint16_t firstVersion_ = 1;
    std::uint16_t lastVersion_ = 0;
    std::uint32_t lastParentLink_ = 0;
    std::uint32_t lastBranchLink_ = 0;
    std::uint16_t branchLinkCount_ = 0;
    void FillCheckout(std::size_t body, const Checkout& checkout, std::string_view projectSpec,
                      std::uint32_t previous, std::uint32_t self);

    bool checkedOut_ = false;
    std::uint32_t activeCheckout_ = 0;  // the newest checkout's CF record while checked out
    std::uint32_t checkoutCount_ = 0;
};

}  // namespace vsstest
