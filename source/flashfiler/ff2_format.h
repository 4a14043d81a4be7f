// Constants of the .FF2 layout shared by the reader and the writer, so that both
// always speak the same format.
#pragma once

#include <cstdint>

namespace korvel::ff2 {

// Block signatures: the u32 at offset 0 of every block.
inline constexpr uint32_t kSigHeader = 0x48024646;    // "FF\x02H", block 0
inline constexpr uint32_t kSigHeaderV1 = 0x48464646;  // "FFFH", FlashFiler 1 (not read)
inline constexpr uint32_t kSigData = 0x48444646;      // "FFDH"
inline constexpr uint32_t kSigIndex = 0x48494646;     // "FFIH"
inline constexpr uint32_t kSigBlob = 0x48424646;      // "FFBH"
inline constexpr uint32_t kSigStream = 0x48534646;    // "FFSH"
// Stream type of the data dictionary ("DICT").
inline constexpr uint32_t kStreamDict = 0x54434944;

}  // namespace korvel::ff2
