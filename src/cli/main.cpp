// thermivo-cli: the recording tools of Thermivo without windows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "app/AppSettings.h"
#include "app/UiText.h"

#ifndef THERMIVO_VERSION
#define THERMIVO_VERSION "unknown"
#endif

namespace thermivo::cli {

namespace {

constexpr const char* kExitStatus =
    "Exit status:\n"
    "  0  done\n"
    "  1  failed: a file refused, a download or a save failed, no instrument found or it did not answer,\n"
    "     a broken history, samples unlike the original\n"
    "  2  usage: an unknown command or option, a missing or malformed value, malformed JSON input,\n"
    "     several instrument ports to choose from\n"
    "  3  nothing to do: the instrument holds no samples";

std::shared_ptr<CLI::Formatter> g_formatter;
const CLI::App* g_command = nullptr;  // whose usage line a problem is shown with

std::string commandName(const CLI::App& app) {
    return app.get_parent() == nullptr ? app.get_name() : app.get_parent()->get_name() + " " + app.get_name();
}

// Every command's own help ends with an example; the tool's help with the exit status.
CLI::App* command(CLI::App& tool, const char* name, const char* description, const char* example) {
    CLI::App* c = tool.add_subcommand(name, description);
    c->group("Commands");
    c->footer(std::string("Example:\n  ") + example + "\n\n" + kExitStatus);
    return c;
}

// Validators: their message names the allowed values; the option's name is put in front by the parser.
// The type names in the help already say what is allowed, so the validators add nothing there.
CLI::Validator unitChoice() {
    return CLI::IsMember({"C", "F"}, CLI::ignore_case).description("");
}
const CLI::Validator kMinuteTime(
    [](std::string& value) {
        if (parseMinuteTime(value)) return std::string();
        return "\"" + value +
               "\" is not a local time \"YYYY-MM-DD HH:MM\" (or \"YYYY-M-D H:MM\") that exists";
    },
    "", "minute time");

// nan and inf pass a plain range check (every comparison with nan is false), so finiteness is asked first.
const CLI::Validator kActivationEnergy(
    [](std::string& value) {
        double v = 0;
        std::size_t used = 0;
        try {
            v = std::stod(value, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == value.size() && used > 0 && std::isfinite(v) && v > 0 && v <= 1e6) return std::string();
        return "\"" + value +
               "\" is not an activation energy: give a number of kJ/mol greater than 0 and at most 1000000";
    },
    "", "activation energy");

// An input file that must exist, or "-" for the standard input.
const CLI::Validator kInputFile(
    [](std::string& value) { return value == "-" ? std::string() : CLI::ExistingFile(value); }, "",
    "input file");

constexpr const char* kPortHelp =
    "The instrument's serial device (default: THERMIVO_PORT, else the one CH34x bridge attached)";

ToolOptions g_options;

}  // namespace

ToolOptions& toolOptions() {
    return g_options;
}

void sayDone(const std::string& line) {
    if (!g_options.quiet) std::fprintf(stderr, "%s\n", line.c_str());
}

int usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "thermivo-cli: %s\n", problem.c_str());
    if (g_command == nullptr || g_formatter == nullptr) return kExitUsage;
    const std::string name = commandName(*g_command);
    // "usage:" in lower case after a problem, as the tool has always said it; the help says "Usage:".
    std::string line = g_formatter->make_usage(g_command, name);
    if (line.rfind("Usage", 0) == 0) line[0] = 'u';
    std::fputs(line.c_str(), stderr);
    std::fprintf(stderr, "%s\n", thermivo::textWith(2814, {name}).c_str());
    return kExitUsage;
}

}  // namespace thermivo::cli

int main(int argc, char** argv) {
    using namespace thermivo::cli;
    thermivo::AppSettings::instance().initFromSystem();

    CLI::App tool("Reads, creates and converts Thermivo recordings (.kvlu) and talks to the instrument.",
                  "thermivo-cli");
    g_formatter = std::make_shared<CLI::Formatter>();
    g_formatter->label("SUBCOMMAND", "COMMAND");
    g_formatter->column_width(34);
    tool.formatter(g_formatter);
    tool.set_version_flag("--version", "thermivo-cli " THERMIVO_VERSION);
    tool.require_subcommand(1);
    // The tool's own options stand before or after the command.
    tool.fallthrough();
    tool.add_option("--trace", g_options.trace,
                    "Write every frame sent to and received from the instrument to FILE (\"-\": stderr), "
                    "with a time stamp and its meaning: attach it to a problem report")
        ->type_name("FILE");
    tool.add_flag("-q,--quiet", g_options.quiet,
                  "Print results and errors only: no progress, no success lines");
    tool.footer(std::string("Run 'thermivo-cli COMMAND --help' for a command's options and an example.\n\n") +
                kExitStatus);
    std::map<const CLI::App*, std::function<int()>> run;

    // Each option is one line: its request field, its name, its help text and its check.
    InfoRequest info;
    CLI::App* c = command(tool, "info", "Print a recording's summary, or the whole recording as JSON",
                          "thermivo-cli info day1.kvlu --unit C");
    c->add_option("FILE.kvlu", info.path, "The recording to read (\"-\": the standard input)")
        ->type_name("")
        ->required();
    c->add_option("--unit", info.unit, "Temperature unit of the texts")
        ->type_name("C|F")
        ->check(unitChoice());
    c->add_flag("--json", info.json, "Print the recording as JSON, the input of 'create --from-json'");
    c->add_option("--mkt-kj", info.activationEnergy,
                  "Activation energy of the mean kinetic temperature (default: 83.144)")
        ->type_name("KJ_PER_MOL")
        ->check(kActivationEnergy);
    c->add_option("--from", info.from, "Statistics from this sample time on")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    c->add_option("--to", info.to, "Statistics up to this sample time")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    run[c] = [&info] { return runInfo(info); };

    CreateRequest create;
    c = command(tool, "create", "Write a record file from a recording in JSON",
                "thermivo-cli create --from-json day1.json -o day1.kvlu");
    c->add_option("--from-json", create.input,
                  "The recording as JSON, as 'info --json' prints it (\"-\": stdin)")
        ->type_name("IN.json")
        ->required()
        ->check(kInputFile);
    c->add_option("-o", create.output, "The record file to write")->type_name("OUT.kvlu")->required();
    run[c] = [&create] { return runCreate(create); };

    ConvertRequest convert;
    c = command(tool, "convert", "Export a recording to a workbook, a CSV file or a PDF printout",
                "thermivo-cli convert day1.kvlu --unit C --pdf day1.pdf --pages text");
    c->add_option("FILE.kvlu", convert.input, "The recording to read (\"-\": the standard input)")
        ->type_name("")
        ->required();
    c->add_option("--xls", convert.xls,
                  "Write a workbook (into an existing one: adds our sheets, or refuses)")
        ->type_name("OUT.xls");
    c->add_flag("--replace", convert.replace, "--xls: write a new workbook in place of an existing one");
    c->add_option("--xlsx", convert.xlsx, "Write a workbook with numbers, dates and a chart (\"-\": stdout)")
        ->type_name("OUT.xlsx");
    c->add_option("--csv", convert.csv, "Write the samples as CSV (\"-\": stdout)")->type_name("OUT.csv");
    c->add_option("--pdf", convert.pdf.path, "Write the printout as PDF (\"-\": stdout)")
        ->type_name("OUT.pdf");
    c->add_option("--pages", convert.pages, "PDF pages: the sample table or the curve (default: curve)")
        ->type_name("text|curve")
        ->check(CLI::IsMember({"text", "curve"}).description(""));
    c->add_option("--curve-pages", convert.pdf.curvePages, "PDF pages the curve is spread over (default: 1)")
        ->type_name("1..99")
        ->check(CLI::Range(1, 99).description(""));
    c->add_option("--from", convert.from, "PDF: first sample time printed")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    c->add_option("--to", convert.to, "PDF: last sample time printed")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    c->add_option("--unit", convert.unit, "Temperature unit")->type_name("C|F")->check(unitChoice());
    run[c] = [&convert] { return runConvert(convert); };

    ReportCommandRequest report;
    c = command(tool, "report",
                "Write the report of a recording for an audit as PDF: verdict, statistics, curve, excursions",
                "thermivo-cli report day1.kvlu -o day1-report.pdf --unit C --comment \"Truck 7, route B\"");
    c->add_option("FILE.kvlu", report.input, "The recording to read")->type_name("")->required();
    c->add_option("-o", report.output, "The PDF file to write")->type_name("OUT.pdf")->required();
    c->add_option("--from", report.from, "First sample time reported")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    c->add_option("--to", report.to, "Last sample time reported")
        ->type_name("\"YYYY-MM-DD HH:MM\"")
        ->check(kMinuteTime);
    c->add_option("--unit", report.unit, "Temperature unit")->type_name("C|F")->check(unitChoice());
    c->add_option("--mkt-kj", report.activationEnergy,
                  "Activation energy of the mean kinetic temperature (default: 83.144)")
        ->type_name("KJ_PER_MOL")
        ->check(kActivationEnergy);
    c->add_option("--comment", report.comment, "A comment printed above the signatures")->type_name("TEXT");
    run[c] = [&report] { return runReport(report); };

    InstrumentRequest download;
    c = command(tool, "download", "Download the instrument's samples into a record file",
                "thermivo-cli download -o day1.kvlu");
    c->add_option("--port", download.port, kPortHelp)->type_name("PATH");
    c->add_option("-o", download.output, "The record file to write")->type_name("OUT.kvlu")->required();
    c->add_flag("--partial", download.partial, "After a failed download, save the samples that arrived");
    c->add_flag("--no-keep", download.noKeep, "Keep no copy of the download in the recordings folder");
    run[c] = [&download] { return runDownload(download); };

    InstrumentRequest status;
    c = command(tool, "status", "Print the instrument's serial number, clock, state and battery",
                "thermivo-cli status --port /dev/ttyUSB0");
    c->add_option("--port", status.port, kPortHelp)->type_name("PATH");
    c->add_flag("--json", status.json, "Print the answer as JSON");
    run[c] = [&status] { return runStatus(status); };

    InstrumentRequest setClock;
    c = command(tool, "set-clock", "Set the instrument's clock to this computer's time",
                "thermivo-cli set-clock --port /dev/ttyUSB0");
    c->add_option("--port", setClock.port, kPortHelp)->type_name("PATH");
    run[c] = [&setClock] { return runSetClock(setClock); };

    InstrumentRequest start;
    c = command(tool, "start", "Start a new recording on the instrument",
                "thermivo-cli start --port /dev/ttyUSB0 --interval 5");
    c->add_option("--port", start.port, kPortHelp)->type_name("PATH");
    c->add_option("--interval", start.interval, "Minutes between samples, 1 to 99")
        ->type_name("1..99")
        ->required()
        ->check(CLI::Range(1, 99).description(""));
    run[c] = [&start] { return runStart(start); };

    HistoryRequest historyRequest;
    c = command(tool, "history",
                "List this computer's history of downloads, clock settings and files, or check it",
                "thermivo-cli history --serial DI202612001");
    c->add_option("--serial", historyRequest.serial, "Only the events of this instrument")
        ->type_name("SERIAL");
    c->add_flag("--json", historyRequest.json, "Print the events (or the check) as JSON");
    c->add_flag("--verify", historyRequest.verify,
                "Check that no row was changed or deleted; exit status 1 names the first broken row");
    run[c] = [&historyRequest] { return runHistory(historyRequest); };

    VerifyRequest verify;
    c = command(tool, "verify",
                "Say where a file comes from, and whether its samples equal the kept original",
                "thermivo-cli verify day1.kvlu");
    c->add_option("FILE", verify.path, "The file to check: a recording, workbook, CSV or PDF")
        ->type_name("")
        ->required();
    c->add_flag("--json", verify.json, "Print the result as JSON");
    run[c] = [&verify] { return runVerify(verify); };

    bool portsJson = false;
    c = command(tool, "ports", "List the serial ports an instrument may be on (THERMIVO_PORT, CH34x bridges)",
                "thermivo-cli ports --json");
    c->add_flag("--json", portsJson, "Print the list as JSON");
    run[c] = [&portsJson] { return runPorts(portsJson); };

    std::vector<std::string> args(argv + 1, argv + argc);
    // "thermivo-cli help [COMMAND]" is the same as --help.
    if (!args.empty() && args.front() == "help") {
        args.erase(args.begin());
        args.emplace_back("--help");
    }
    // The word the parser did not know: the first that is not one of the tool's own options.
    std::string first;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-q" || a == "--quiet" || a.rfind("--trace=", 0) == 0) continue;
        if (a == "--trace") {
            ++i;
            continue;
        }
        first = a;
        break;
    }
    std::reverse(args.begin(), args.end());  // the parser takes them last first
    try {
        tool.parse(args);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return tool.exit(e);  // help, version
        const auto chosen = tool.get_subcommands();
        g_command = chosen.empty() ? &tool : chosen.front();
        if (!chosen.empty() || e.get_name() != "RequiredError") return usage(e.what());
        // The parser's own words here speak of subcommands and do not name the word it did not know.
        std::string names;
        for (const CLI::App* known : tool.get_subcommands({}))
            names += (names.empty() ? "" : ", ") + known->get_name();
        using thermivo::textWith;
        const std::string what = first.empty()              ? textWith(2815, {names})
                                 : first.rfind('-', 0) == 0 ? textWith(2817, {first, names})
                                                            : textWith(2816, {first, names});
        return usage(what);
    }
    g_command = tool.get_subcommands().front();
    return run.at(g_command)();
}
