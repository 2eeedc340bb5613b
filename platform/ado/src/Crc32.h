#pragma once

#include <cstdint>
#include <string_view>

namespace ado::detail
{

// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320).
std::uint32_t crc32(std::string_view bytes);

} // namespace ado::detail
