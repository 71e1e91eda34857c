#include "sourcesafe/vss_version.h"

#include "sourcesafe/action_text.h"
#include "sourcesafe/automation_date.h"
#include "sourcesafe/connection.h"
#include "sourcesafe/vss_error.h"
#include "sourcesafe/vss_version_state.h"
#include "vssdb/revision_format.h"

namespace sourcesafe {
namespace {

std::string WithLineFeeds(std::string text) {
    std::size_t at = text.find("\r\n");
    if (at == std::string::npos) {
        return text;
    }
    // Compact in place: each CR of a CR LF pair is dropped.
    std::size_t kept = at;
    for (; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            continue;
        }
        text[kept++] = text[at];
    }
    text.resize(kept);
    return text;
}

}  // namespace

struct IVSSVersion::State {
    std::shared_ptr<Connection> connection;
    std::shared_ptr<const std::vector<vssdb::Revision>> history;
    std::size_t index = 0;

    const vssdb::Revision& revision() const { return (*history)[index]; }
};

const IVSSVersion::State& IVSSVersion::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSVersion");
    }
    return *state_;
}

bool IVSSVersion::Supports(const Guid& id) const {
    Require();
    return id == IID_IVSSVersion6;
}

std::string IVSSVersion::Username() const {
    const State& state = Require();
    return state.connection->database->Decode(state.revision().user);
}

int IVSSVersion::VersionNumber() const {
    return Require().revision().version;
}

std::string IVSSVersion::Action() const {
    const State& state = Require();
    return Guarded([&] { return ActionText(state.revision(), *state.connection->database); });
}

double IVSSVersion::Date() const {
    return AutomationDateFromStoredTime(Require().revision().time);
}

std::string IVSSVersion::Comment() const {
    const State& state = Require();
    const vssdb::Revision& revision = state.revision();
    const bool label = static_cast<vssdb::revision_format::Action>(revision.action) ==
                       vssdb::revision_format::Action::kLabel;
    const std::string& raw =
        label && revision.comment.empty() ? revision.labelComment : revision.comment;
    return WithLineFeeds(state.connection->database->Decode(raw));
}

std::string IVSSVersion::Label() const {
    const State& state = Require();
    return state.connection->database->Decode(state.revision().label);
}

std::string IVSSVersion::LabelComment() const {
    const State& state = Require();
    return WithLineFeeds(state.connection->database->Decode(state.revision().labelComment));
}

ActionDetails IVSSVersion::Details() const {
    const State& state = Require();
    return Guarded([&] { return DescribeAction(state.revision(), *state.connection->database); });
}

std::string IVSSVersion::StoredIn() const {
    return Require().revision().branchLog;
}

const IVSSVersions::State& IVSSVersions::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSVersions");
    }
    return *state_;
}

IVSSVersions::Enumerator IVSSVersions::NewEnum() const {
    Enumerator enumerator;
    enumerator.versions_ = std::shared_ptr<const State>(state_);
    Require();
    return enumerator;
}

bool IVSSVersions::Enumerator::Next(IVSSVersion& out) {
    if (!versions_) {
        ThrowEmptyHolder("IVSSVersions enumerator");
    }
    if (!history_) {
        auto history =
            Guarded([&] { return versions_->connection->database->History(versions_->physical); });
        if (versions_->pinnedVersion > 0) {
            std::erase_if(history, [&](const vssdb::Revision& r) {
                return r.version > versions_->pinnedVersion;
            });
        }
        history_ = std::make_shared<const std::vector<vssdb::Revision>>(std::move(history));
    }
    if (next_ >= history_->size()) {
        return false;
    }
    auto state = std::make_shared<IVSSVersion::State>();
    state->connection = versions_->connection;
    state->history = history_;
    state->index = next_++;
    out.state_ = std::move(state);
    return true;
}

}  // namespace sourcesafe
