// The checkouts of a file, as the automation interface shows them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace sourcesafe {

class IVSSCheckout {
  public:
    IVSSCheckout() = default;

    bool IsEmpty() const { return !values_; }

    std::string Username() const;
    // Automation date of the stored time, with no time-zone shift.
    double Date() const;
    // The working folder the file was checked out to, on the machine below.
    std::string LocalSpec() const;
    std::string Machine() const;
    // The project the file was checked out from.
    std::string Project() const;
    std::string Comment() const;
    // The version checked out.
    int VersionNumber() const;

    // What one checkout says, decoded.
    struct Values {
        std::string username;
        double date = 0;
        std::string localSpec;
        std::string machine;
        std::string project;
        std::string comment;
        int versionNumber = 0;
    };

  private:
    friend class IVSSCheckouts;
    const Values& Require() const;

    std::shared_ptr<const Values> values_;
};

class IVSSCheckouts {
  public:
    IVSSCheckouts() = default;
    explicit IVSSCheckouts(std::vector<IVSSCheckout::Values> checkouts);

    int Count() const;
    // The checkout at `index`, 1 to Count(). Raises DISP_E_BADINDEX outside that range.
    IVSSCheckout Item(int index) const;

  private:
    std::vector<std::shared_ptr<const IVSSCheckout::Values>> checkouts_;
};

}  // namespace sourcesafe
