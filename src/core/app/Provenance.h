#pragma once
#include <string>

namespace thermivo {

/// The program's version, as the build names it ("0.1.0").
std::string thermivoVersion();

/// "Thermivo 0.1.0": what every written file names as the program that made it.
std::string thermivoNameAndVersion();

/// Login name of the user running the program: the password entry of the effective user, else USER or
/// LOGNAME; "unknown" when none of them names one.
std::string systemUserName();

}  // namespace thermivo
