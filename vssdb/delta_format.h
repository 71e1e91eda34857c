// FD record: the reverse delta stored with a check-in. Applied to the content that check-in
// stored, it gives the content of the version before.
//
//   body      := operation* stop [anything]
//   operation := u16 command | u16 junk | u32 offset | u32 length [length literal bytes]
//
//   insert (0): the `length` bytes that follow the operation; `offset` is where they land
//               in the older version, which the position in the output says anyway
//   copy (1):   `length` bytes of the newer version, from `offset`
//   stop (2):   the end; its offset and length repeat the operation before it
//
// The u16 after the command is not zero in real databases, and the fields of insert and
// stop operations named above carry nothing a reader needs: only the command, a copy's
// offset and every length are read. Nothing follows the stop in any real delta.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vssdb::delta_format {

inline constexpr std::size_t kOperationSize = 12;
inline constexpr std::size_t kCommand = 0;  // u16, see Command (u16 junk after it)
inline constexpr std::size_t kOffset = 4;   // u32
inline constexpr std::size_t kLength = 8;   // u32

enum class Command : std::uint16_t {
    kInsert = 0,  // `length` literal bytes follow
    kCopy = 1,    // `length` bytes of the newer version from `offset`
    kStop = 2,
};

}  // namespace vssdb::delta_format
