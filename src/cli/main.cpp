// thermivo-cli: the recording tools of Thermivo without windows.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "app/AppSettings.h"

namespace thermivo::cli {

int usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "thermivo-cli: %s\n", problem.c_str());
    std::fputs(
        "usage: thermivo-cli info FILE.kvlu [--unit C|F] [--json]\n"
        "       thermivo-cli create --from-json IN.json -o OUT.kvlu\n"
        "       thermivo-cli convert FILE.kvlu [--xls OUT.xls] [--csv OUT.csv] [--unit C|F]\n"
        "                    [--pdf OUT.pdf [--pages text|curve] [--curve-pages N]\n"
        "                     [--from \"YYYY-MM-DD HH:MM\"] [--to \"YYYY-MM-DD HH:MM\"]]\n"
        "       thermivo-cli download --port PATH -o OUT.kvlu [--partial]\n"
        "       thermivo-cli status --port PATH\n"
        "       thermivo-cli set-clock --port PATH\n"
        "       thermivo-cli start --port PATH --interval MINUTES\n",
        stderr);
    return kExitUsage;
}

}  // namespace thermivo::cli

int main(int argc, char** argv) {
    using namespace thermivo::cli;
    thermivo::AppSettings::instance().initFromSystem();
    if (argc < 2) return usage();
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    if (command == "info") return runInfo(args);
    if (command == "create") return runCreate(args);
    if (command == "convert") return runConvert(args);
    if (command == "download") return runDownload(args);
    if (command == "status") return runStatus(args);
    if (command == "set-clock") return runSetClock(args);
    if (command == "start") return runStart(args);
    if (command == "--help" || command == "-h" || command == "help") {
        usage();
        return kExitOk;
    }
    return usage("unknown command '" + command + "'");
}
