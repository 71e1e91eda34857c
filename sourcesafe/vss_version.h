// Versions and version collections of the automation layer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sourcesafe/action_text.h"
#include "sourcesafe/guids.h"

namespace vssdb {
struct Revision;
}

namespace sourcesafe {

struct Connection;

class IVSSVersion {
  public:
    IVSSVersion() = default;

    bool IsEmpty() const { return !state_; }

    // Whether the element offers interface `id`; every version offers IID_IVSSVersion6.
    bool Supports(const Guid& id) const;

    std::string Username() const;
    int VersionNumber() const;
    // What the version did, e.g. "Checked in $/A" (see action_text.h).
    std::string Action() const;
    // Automation date of the stored time, with no time-zone shift.
    double Date() const;
    // The version's comment with line breaks as LF; a label without a comment of its own
    // gives its label comment.
    std::string Comment() const;
    // The label of a label version, else empty; of a removed label, what can still be
    // read of its name.
    std::string Label() const;
    // The comment given with a label, line breaks as LF; empty for other versions.
    std::string LabelComment() const;
    // The action as data: its code and the fields it stores (see action_text.h).
    ActionDetails Details() const;
    // The physical name of the file a branched file's version below its branch point is
    // stored in (the file it was branched from, or one further back): one version, however
    // many branches show it. Empty for a version of the item's own log.
    std::string StoredIn() const;

  private:
    struct State;
    friend class IVSSVersions;
    const State& Require() const;

    std::shared_ptr<const State> state_;
};

class IVSSVersions {
    struct State;

  public:
    IVSSVersions() = default;

    bool IsEmpty() const { return !state_; }

    // Enumerates the versions one at a time, newest first. The history is read when the
    // enumeration starts; reading failures raise from the first Next().
    class Enumerator {
      public:
        // Sets `out` to the next version and returns true, or returns false at the end.
        bool Next(IVSSVersion& out);

      private:
        friend class IVSSVersions;
        std::shared_ptr<const State> versions_;
        std::shared_ptr<const std::vector<vssdb::Revision>> history_;
        std::size_t next_ = 0;
    };
    Enumerator NewEnum() const;

  private:
    friend class IVSSItem;
    const State& Require() const;

    std::shared_ptr<const State> state_;
};

}  // namespace sourcesafe
