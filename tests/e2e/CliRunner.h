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

/// What a shell command prints on its standard output.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

/// Runs thermivo-cli with a fixed language and time zone (UTC), capturing both streams in `dir`. Its data
/// folder (history, kept recordings) is `dir`/data, never the user's.
inline CliRun cli(const TempDir& dir, const std::string& args, const std::string& lang = "en_US.UTF-8",
                  const std::string& zone = "UTC") {
    const std::string out = dir.file("stdout"), err = dir.file("stderr");
    const std::string cmd = "env -u LC_ALL -u LC_MESSAGES LANG=" + lang + " TZ=" + zone + " XDG_DATA_HOME='" +
                            dir.file("data") + "' " THERMIVO_CLI " " + args + " >'" + out + "' 2>'" + err +
                            "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
}

}  // namespace thermivo::testing
