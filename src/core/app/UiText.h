#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace thermivo {

/// The user-interface text of an id in the language chosen at start-up; "" for an undefined id.
std::string text(int id);

/// The same lookup for an explicit language id (2052 gives Chinese, every other id English).
std::string text(int id, std::uint16_t languageId);

/// True when the table defines the id (possibly as the empty string).
bool isTextDefined(int id);

/// The text of an id with %1, %2 ... replaced by the arguments in order.
std::string textWith(int id, const std::vector<std::string>& args);

}  // namespace thermivo
