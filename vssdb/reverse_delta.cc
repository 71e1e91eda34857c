#include "vssdb/reverse_delta.h"

#include <cstdint>

#include "vssdb/delta_format.h"
#include "vssdb/error.h"

namespace vssdb {
namespace {

namespace df = delta_format;

struct Operation {
    df::Command command = df::Command::kStop;
    std::size_t at = 0;      // of the operation within the delta
    std::size_t source = 0;  // copies: in the newer version; inserts: in the delta
    std::size_t length = 0;
};

std::string Bytes(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// Calls `visit` for every operation before the stop, each checked against the record and
// the newer version; the sum of their lengths is checked against `maxSize` as it grows.
template <typename Visit>
std::size_t ForEachOperation(const ByteView& delta, std::size_t newerSize, std::size_t maxSize,
                             Visit&& visit) {
    std::size_t at = 0;
    std::size_t olderSize = 0;
    const auto fail = [&](std::size_t where, const std::string& what) {
        ThrowCorruptAt(delta.file(), delta.fileOffset() + where, "reverse delta: " + what);
    };
    for (;;) {
        if (delta.size() - at < df::kOperationSize) {
            fail(at, delta.size() == at ? "ends without its stop operation"
                                        : "operation cut short after " + Bytes(delta.size() - at));
        }
        const std::uint16_t command = delta.U16(at + df::kCommand);
        const std::size_t length = delta.U32(at + df::kLength);
        Operation op{static_cast<df::Command>(command), at, 0, length};
        switch (op.command) {
            case df::Command::kStop:
                return olderSize;
            case df::Command::kInsert: {
                op.source = at + df::kOperationSize;
                const std::size_t held = delta.size() - op.source;
                if (length > held) {
                    fail(at, "inserts " + Bytes(length) + " but the record holds only " +
                                 Bytes(held) + " after the operation");
                }
                at = op.source + length;
                break;
            }
            case df::Command::kCopy: {
                op.source = delta.U32(at + df::kOffset);
                if (op.source > newerSize || length > newerSize - op.source) {
                    fail(at, "copies " + Bytes(length) + " from offset " +
                                 std::to_string(op.source) + " of a newer version of only " +
                                 Bytes(newerSize));
                }
                at += df::kOperationSize;
                break;
            }
            default:
                fail(at, "unknown operation " + std::to_string(command));
        }
        if (length > maxSize - olderSize) {
            fail(op.at, "builds a version of more than " + Bytes(maxSize));
        }
        olderSize += length;
        visit(op);
    }
}

}  // namespace

std::size_t OlderVersionSize(const ByteView& delta, std::size_t newerSize, std::size_t maxSize) {
    return ForEachOperation(delta, newerSize, maxSize, [](const Operation&) {});
}

void ApplyReverseDelta(const ByteView& delta, std::string_view newer, std::string& older,
                       std::size_t maxSize) {
    const std::size_t size = OlderVersionSize(delta, newer.size(), maxSize);
    older.clear();
    older.reserve(size);
    const std::string_view bytes = delta.bytes();
    ForEachOperation(delta, newer.size(), maxSize, [&](const Operation& op) {
        const std::string_view from = op.command == df::Command::kCopy ? newer : bytes;
        older.append(from.substr(op.source, op.length));
    });
}

}  // namespace vssdb
