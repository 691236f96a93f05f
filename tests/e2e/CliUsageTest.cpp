#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "CliRunner.h"
#include "TestSupport.h"

using namespace thermivo::testing;

namespace {

// The command names as the tool's own help lists them, so a new command is checked without editing this test.
std::vector<std::string> listedCommands(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream in(help.substr(help.find("\nCommands:\n") + 11));
    std::string line;
    while (std::getline(in, line) && line.rfind("  ", 0) == 0)
        names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

std::string sampleRecording(const TempDir& dir) {
    writeText(dir.file("in.json"), R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000,
        "intervalSeconds": 60, "temperature": [1, 2, 3]})");
    const CliRun r =
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.file("r.kvlu");
}

}  // namespace

TEST(CliUsage, TheToolAndEveryCommandHaveTheirOwnHelp) {
    TempDir dir;
    CliRun r = cli(dir, "--help");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Usage: thermivo-cli [OPTIONS] COMMAND"), std::string::npos) << r.out;
    for (const char* code : {"\n  0  done", "\n  1  failed", "\n  2  usage", "\n  3  nothing to do"})
        EXPECT_NE(r.out.find(code), std::string::npos) << code;
    const auto commands = listedCommands(r.out);
    EXPECT_EQ(commands, (std::vector<std::string>{"info", "create", "convert", "report", "download", "status",
                                                  "set-clock", "start", "history", "verify", "ports"}));
    for (const auto& name : commands) {
        r = cli(dir, name + " --help");
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out.find("Usage: thermivo-cli " + name + " "), r.out.find('\n') + 1) << r.out;
        EXPECT_NE(r.out.find("Example:\n  thermivo-cli " + name + " "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\n  3  nothing to do"), std::string::npos) << r.out;
        EXPECT_EQ(cli(dir, "help " + name).out, r.out);
    }
    r = cli(dir, "convert --help");
    for (const char* option : {"--xls OUT.xls", "--csv OUT.csv", "--pdf OUT.pdf", "--pages text|curve",
                               "--curve-pages 1..99", "--from \"YYYY-MM-DD HH:MM\"", "--unit C|F"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;

    r = cli(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("thermivo-cli ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find_first_of("0123456789"), std::string::npos) << r.out;
}

TEST(CliUsage, ARefusedCommandLineNamesTheOptionAndWhatItTakes) {
    TempDir dir;
    const std::string rec = "'" + sampleRecording(dir) + "'";
    struct Case {
        std::string args;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {"info " + rec + " --unit K", {"--unit", "{C,F}", "usage: thermivo-cli info "}},
        {"convert " + rec + " --pdf x.pdf --curve-pages 0",
         {"--curve-pages", "1 to 99", "usage: thermivo-cli convert "}},
        {"convert " + rec + " --pdf x.pdf --curve-pages many", {"--curve-pages", "1 to 99"}},
        {"convert " + rec + " --pdf x.pdf --pages both", {"--pages", "{text,curve}"}},
        {"convert " + rec + " --pdf x.pdf --to 10:00", {"--to", "YYYY-MM-DD HH:MM"}},
        {"convert " + rec, {"--xls", "--csv", "--pdf"}},
        {"create --from-json '" + dir.file("missing.json") + "' -o '" + dir.file("x.kvlu") + "'",
         {"--from-json", "missing.json", "usage: thermivo-cli create "}},
        {"create --from-json '" + dir.file("in.json") + "'", {"-o is required"}},
        {"download", {"-o is required", "usage: thermivo-cli download "}},
        {"start --port /dev/null", {"--interval is required"}},
        {"start --port /dev/null --interval 0", {"--interval", "1 to 99", "usage: thermivo-cli start "}},
        {"info " + rec + " --bogus", {"--bogus"}},
        {"frobnicate", {"unknown command 'frobnicate'", "info, create, convert"}},
        {"", {"no command given", "usage: thermivo-cli "}},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(dir, c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.args;
        for (const auto& text : c.says)
            EXPECT_NE(r.err.find(text), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(std::ifstream(dir.file("x.kvlu")).good());
    EXPECT_FALSE(std::ifstream(dir.file("x.pdf")).good());
}

TEST(CliUsage, MalformedJsonSaysWhereAndWritesNothing) {
    TempDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"{\"kind\": 1,\n \"temperature\": [1, 2", "line 2, column 22"},               // truncated
        {"{\"kind\": 1,\n \"temperature\": [1, true]}", "line 2, column 21"},          // a wrong type
        {"{\n  \"serial\": \"DI201400007\",\n  \"kind\": 9\n}", "line 3, column 11"},  // an unknown kind
    };
    for (const auto& [json, where] : cases) {
        writeText(dir.file("bad.json"), json);
        const CliRun r =
            cli(dir, "create --from-json '" + dir.file("bad.json") + "' -o '" + dir.file("x.kvlu") + "'");
        EXPECT_EQ(r.status, 2) << json;
        EXPECT_NE(r.err.find(dir.file("bad.json") + ": " + where), std::string::npos) << r.err;
        EXPECT_FALSE(std::ifstream(dir.file("x.kvlu")).good());
    }
}
