#include "sourcesafe/vss_checkout.h"

#include "sourcesafe/vss_error.h"

namespace sourcesafe {

const IVSSCheckout::Values& IVSSCheckout::Require() const {
    if (!values_) {
        ThrowEmptyHolder("IVSSCheckout");
    }
    return *values_;
}

std::string IVSSCheckout::Username() const {
    return Require().username;
}
double IVSSCheckout::Date() const {
    return Require().date;
}
std::string IVSSCheckout::LocalSpec() const {
    return Require().localSpec;
}
std::string IVSSCheckout::Machine() const {
    return Require().machine;
}
std::string IVSSCheckout::Project() const {
    return Require().project;
}
std::string IVSSCheckout::Comment() const {
    return Require().comment;
}
int IVSSCheckout::VersionNumber() const {
    return Require().versionNumber;
}

IVSSCheckouts::IVSSCheckouts(std::vector<IVSSCheckout::Values> checkouts) {
    checkouts_.reserve(checkouts.size());
    for (IVSSCheckout::Values& values : checkouts) {
        checkouts_.push_back(std::make_shared<const IVSSCheckout::Values>(std::move(values)));
    }
}

int IVSSCheckouts::Count() const {
    return static_cast<int>(checkouts_.size());
}

IVSSCheckout IVSSCheckouts::Item(int index) const {
    if (index < 1 || index > Count()) {
        throw VssError(DISP_E_BADINDEX_RESULT, "checkout index " + std::to_string(index) +
                                                   " is outside 1 to " + std::to_string(Count()));
    }
    IVSSCheckout checkout;
    checkout.values_ = checkouts_[static_cast<std::size_t>(index - 1)];
    return checkout;
}

}  // namespace sourcesafe
