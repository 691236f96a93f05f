// thermivo-sim: a virtual instrument on a pseudo-terminal. Prints the device path, serves until stopped.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "sim/PtyInstrument.h"
#include "sim/SimOptions.h"

int main(int argc, char** argv) {
    using namespace thermivo;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--version") {
            std::printf("thermivo-sim %s\n", THERMIVO_VERSION);
            return 0;
        }
    }
    SimOptions options;
    std::string error;
    if (!parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "thermivo-sim: %s\n%s", error.c_str(), simUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    // Signals are taken synchronously below, so the serving thread never sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PtyInstrument instrument(options.config, options.fast);
    if (!instrument.start()) {
        std::fprintf(stderr, "thermivo-sim: %s\n", instrument.error().c_str());
        return 1;
    }
    std::printf("%s\n", instrument.path().c_str());
    std::fflush(stdout);

    const timespec tick{0, 200 * 1000 * 1000};
    while (instrument.serving()) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
    }
    const bool unplugged = instrument.unplugged();
    instrument.stop();
    if (unplugged) std::fprintf(stderr, "thermivo-sim: unplugged after block %d\n", instrument.lastBlock());
    return 0;
}
