#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"

namespace thermivo::testing {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

/// Runs thermivo-cli with a fixed language and time zone (UTC), capturing both streams in `dir`; complete
/// downloads are kept below `dir`/data, never in the user's own folder.
inline CliRun cli(const TempDir& dir, const std::string& args, const std::string& lang = "en_US.UTF-8") {
    const std::string out = dir.file("stdout"), err = dir.file("stderr");
    const std::string cmd = "env -u LC_ALL -u LC_MESSAGES LANG=" + lang + " TZ=UTC XDG_DATA_HOME='" +
                            dir.file("data") + "' " THERMIVO_CLI " " + args + " >'" + out + "' 2>'" + err + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
}

}  // namespace thermivo::testing
