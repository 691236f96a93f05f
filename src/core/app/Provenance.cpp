#include "app/Provenance.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#ifndef THERMIVO_VERSION
#define THERMIVO_VERSION "unknown"
#endif

namespace thermivo {

std::string thermivoVersion() {
    return THERMIVO_VERSION;
}

std::string thermivoNameAndVersion() {
    return "Thermivo " + thermivoVersion();
}

std::string systemUserName() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0')
        return found->pw_name;
    for (const char* name : {"USER", "LOGNAME"})
        if (const char* v = std::getenv(name); v != nullptr && *v != '\0') return v;
    return "unknown";
}

}  // namespace thermivo
