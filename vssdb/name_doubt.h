// A name shown as its short field because its long name in names.dat cannot be read.
//
// The short field is the long name with spaces as '_', leading dots dropped, cut to 33
// bytes: what it may hide can be told from the field alone.
#pragma once

#include <string>
#include <string_view>

#include "vssdb/file_fault.h"

namespace vssdb {

struct NameDoubt {
    FileFault cause;                // why the long name cannot be read
    bool mayBeCut = false;          // the field is full
    bool mayHaveHadSpaces = false;  // it holds '_'
    // Always possible: nothing in the field keeps a dot it dropped.
    bool mayHaveLostLeadingDot = true;

    // "it may have lost a leading dot, may have had spaces (shown as _), may be cut"
    std::string Describe() const;
};

// What the short field `shortName` may hide; `cause` says why it stands for the name.
NameDoubt DoubtAboutShortName(std::string_view shortName, FileFault cause);

}  // namespace vssdb
