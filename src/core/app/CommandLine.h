#pragma once
#include <optional>
#include <string>

namespace thermivo {

struct CommandLineFile {
    std::string fullPath;
    std::string fileName;  ///< last path component; empty for a bare name without any folder
};

/// The data file named on the command line, or nothing when the line does not name a *.kvlu file.
/// A line wholly inside double quotes is unquoted; both "/" and "\" separate folders.
std::optional<CommandLineFile> commandLineFile(std::string line);

}  // namespace thermivo
