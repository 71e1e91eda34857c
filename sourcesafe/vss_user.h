// The users of a database, as the automation interface shows them.
#pragma once

#include <string>
#include <vector>

namespace sourcesafe {

class IVSSUser {
  public:
    IVSSUser() = default;
    IVSSUser(std::string name, bool readOnly) : name_(std::move(name)), readOnly_(readOnly) {}

    std::string Name() const { return name_; }
    // A user who may look but not change anything.
    bool ReadOnly() const { return readOnly_; }

  private:
    std::string name_;
    bool readOnly_ = false;
};

class IVSSUsers {
  public:
    IVSSUsers() = default;
    explicit IVSSUsers(std::vector<IVSSUser> users) : users_(std::move(users)) {}

    int Count() const { return static_cast<int>(users_.size()); }
    // The user at `index`, 1 to Count(). Raises DISP_E_BADINDEX outside that range.
    IVSSUser Item(int index) const;

  private:
    std::vector<IVSSUser> users_;
};

}  // namespace sourcesafe
