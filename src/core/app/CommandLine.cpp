#include "app/CommandLine.h"

namespace thermivo {

std::optional<CommandLineFile> commandLineFile(std::string line) {
    if (line.empty()) return std::nullopt;
    const std::size_t q1 = line.find('"');
    const std::size_t q2 = line.size() > 1 ? line.find('"', 1) : std::string::npos;
    if (q1 == 0 && q2 != std::string::npos && q2 > 1) line = line.substr(1, q2 - 1);

    std::string extension;
    const std::size_t dot = line.rfind('.');
    if (dot != std::string::npos && dot > 0) extension = line.substr(dot + 1);

    std::string fileName;
    const std::size_t sep = line.find_last_of("\\/");
    if (sep != std::string::npos && sep > 0) fileName = line.substr(sep + 1);

    if (extension != "kvlu") return std::nullopt;
    return CommandLineFile{line, fileName};
}

}  // namespace thermivo
