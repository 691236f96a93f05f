#pragma once
#include <string>
#include <vector>

#include "sim/InstrumentSimulator.h"

namespace thermivo {

/// What the thermivo-sim command line asks for.
struct SimOptions {
    SimConfig config;
    bool fast = false;  ///< no line pacing
    bool help = false;
};

/// Parses the arguments after the program name; false with a message on a bad option or value.
bool parseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error);

/// The usage text of thermivo-sim.
std::string simUsage();

}  // namespace thermivo
