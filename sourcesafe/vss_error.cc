#include "sourcesafe/vss_error.h"

namespace sourcesafe {

HRESULT ResultFor(const vssdb::Error& error) {
    using vssdb::ErrorKind;
    switch (error.kind()) {
        case ErrorKind::kUserNotFound:
            return ESS_USER_NOT_FOUND;
        case ErrorKind::kBadPassword:
            return ESS_BAD_PASSWORD;
        case ErrorKind::kItemNotFound:
            return ESS_ITEM_NOT_FOUND;
        case ErrorKind::kCorrupt:
            return ESS_FILE_CORRUPT;
        case ErrorKind::kIncompatible:
            return ESS_INCOMPATIBLE_DATABASE;
        case ErrorKind::kNotFound:
            return E_FILE_NOT_FOUND_RESULT;
        case ErrorKind::kUnreadable:
            return E_ACCESSDENIED_RESULT;
        case ErrorKind::kInvalidArgument:
            return E_INVALIDARG_RESULT;
    }
    return E_UNEXPECTED_RESULT;
}

void ThrowFrom(const vssdb::Error& error) {
    throw VssError(ResultFor(error), error.what(), error.file(), error.reason());
}

void ThrowEmptyHolder(const char* what) {
    throw VssError(E_POINTER_RESULT, std::string(what) + " called through an empty holder");
}

}  // namespace sourcesafe
