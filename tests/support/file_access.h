// File permissions that hold even when the tests run as root (as they do in CI).
#pragma once

namespace varnotte::test {

// While alive, this thread's file accesses are checked as an ordinary user's: root's
// right to override permissions is dropped (setfsuid), so read-only folders and files
// refuse writes as they would for a real user. Does nothing when not running as root.
class AsOrdinaryUser {
  public:
    AsOrdinaryUser();
    ~AsOrdinaryUser();
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

  private:
    int previous_ = -1;
};

}  // namespace varnotte::test
