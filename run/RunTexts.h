#pragma once
// German texts that both runs show.

namespace kalvero::texts {

inline constexpr const char* REMAINING_TIME = "Geschätzte Restzeit (Std:Min:Sek): %s";

}  // namespace kalvero::texts
