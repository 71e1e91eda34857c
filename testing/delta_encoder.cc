#include "testing/delta_encoder.h"

#include <cstdint>
#include <unordered_map>

#include "testing/record_builder.h"
#include "vssdb/delta_format.h"

namespace vsstest {
namespace {

namespace df = vssdb::delta_format;

// What real databases leave in the u16 after each command.
constexpr std::uint16_t kJunk = 0x762D;

class DeltaBody {
  public:
    void Add(df::Command command, std::size_t offset, std::size_t length) {
        const std::size_t at = body_.size();
        body_.append(df::kOperationSize, '\0');
        PutU16(body_, at + df::kCommand, static_cast<std::uint16_t>(command));
        PutU16(body_, at + df::kCommand + 2, kJunk);
        PutU32(body_, at + df::kOffset, static_cast<std::uint32_t>(offset));
        PutU32(body_, at + df::kLength, static_cast<std::uint32_t>(length));
        lastOffset_ = offset;
        lastLength_ = length;
    }
    void Insert(std::string_view older, std::size_t from, std::size_t to) {
        if (to > from) {
            Add(df::Command::kInsert, from, to - from);
            body_.append(older.substr(from, to - from));
        }
    }
    std::string Finish() {
        Add(df::Command::kStop, lastOffset_, lastLength_);
        return std::move(body_);
    }

  private:
    std::string body_;
    std::size_t lastOffset_ = 0;
    std::size_t lastLength_ = 0;
};

}  // namespace

std::string EncodeReverseDelta(std::string_view older, std::string_view newer) {
    const std::size_t block = newer.size() < 4096 ? 4 : 16;
    std::unordered_map<std::string_view, std::size_t> blocks;
    for (std::size_t at = 0; at + block <= newer.size(); at += block) {
        blocks.emplace(newer.substr(at, block), at);
    }
    DeltaBody delta;
    std::size_t literal = 0;  // start of the bytes of `older` not yet written
    std::size_t at = 0;
    while (at + block <= older.size()) {
        const auto found = blocks.find(older.substr(at, block));
        if (found == blocks.end()) {
            ++at;
            continue;
        }
        std::size_t from = found->second;
        std::size_t start = at;
        while (start > literal && from > 0 && older[start - 1] == newer[from - 1]) {
            --start;
            --from;
        }
        std::size_t end = at + block;
        while (end < older.size() && from + (end - start) < newer.size() &&
               older[end] == newer[from + (end - start)]) {
            ++end;
        }
        delta.Insert(older, literal, start);
        delta.Add(df::Command::kCopy, from, end - start);
        literal = at = end;
    }
    delta.Insert(older, literal, older.size());
    return delta.Finish();
}

}  // namespace vsstest
