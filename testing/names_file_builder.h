// names.dat built in memory: an HN record, then one SN record per name that needs one.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "vssdb/names_file_format.h"

namespace vsstest {

using NameKind = vssdb::names_file_format::NameKind;
using NameEntries = std::vector<std::pair<NameKind, std::string>>;

class NamesFileBuilder {
  public:
    NamesFileBuilder();

    // Appends an SN record holding `entries`, in that order, and returns the record's
    // offset, the value name fields store.
    std::uint32_t Add(const NameEntries& entries);

    // The whole file, its HN end offset up to date.
    const std::string& Bytes();

  private:
    std::string file_;
    std::size_t headerOffset_ = 0;
};

}  // namespace vsstest
