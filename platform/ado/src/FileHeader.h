#pragma once

#include <cstdint>

namespace ado::detail
{

// application_id of the files this layer creates ("KSTV"): marks a file whose
// user_version holds a password verifier rather than a schema version.
inline constexpr std::int32_t kApplicationId = 0x4B535456;

} // namespace ado::detail
