#pragma once

// The program's home address, the one place it is written: the user agent
// names it, forwarded mail ends with it, the RSS export links to it and Open
// URL offers it.
inline constexpr const char* kProductWebAddress = "https://kestrova.example/";
