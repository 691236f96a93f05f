#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "data/Recording.h"
#include "export/Workbook.h"

namespace thermivo::exporttest {

using testing::TempDir;

/// Number of entries in a folder (temporary files left behind show up here).
inline std::size_t entryCount(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/// A complete recording of `n` one-minute samples of kind 1 with summary texts and alarm limits.
inline std::unique_ptr<Recording> makeExportRecording(int n, std::int32_t kind = KindTemp) {
    auto rec = std::make_unique<Recording>();
    rec->kind = kind;
    rec->sampleCount = rec->samplesLoaded = n;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->startTime = 1400000000;
    rec->intervalSeconds = 60;
    rec->buildSampleTimes();
    rec->tempAlarmOn = true;
    rec->tempUpper = 8.0f;
    rec->tempLower = 2.0f;
    for (int i = 0; i < n && i < Recording::kCapacity; ++i) {
        rec->temperature[static_cast<std::size_t>(i)] = 2.0f + static_cast<float>(i % 700) * 0.01f;
        rec->humidity[static_cast<std::size_t>(i)] = 40.0f + static_cast<float>(i % 50) * 0.5f;
    }
    for (std::size_t i = 0; i < 15; ++i) {
        if (rec->labels[i].empty()) rec->labels[i] = "Label " + std::to_string(i);
        rec->values[i] = "Value " + std::to_string(i);
    }
    return rec;
}

/// Escapes tabs, newlines and backslashes so that a dump has one line per row.
inline std::string escapeCell(const std::string& s) {
    std::string out;
    for (const char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

/// "sheet NAME ROWS" then the rows padded to the widest, cells joined by tabs: the form the xlrd script
/// prints.
inline std::string dumpWorkbook(const Workbook& wb) {
    std::string out;
    for (const auto& ws : wb.sheets()) {
        std::size_t rows = 0, width = 0;
        for (std::size_t r = 0; r < ws.rows.size(); ++r)
            for (std::size_t c = 0; c < ws.rows[r].size(); ++c)
                if (!ws.rows[r][c].empty()) {
                    rows = std::max(rows, r + 1);
                    width = std::max(width, c + 1);
                }
        out += "sheet\t" + escapeCell(ws.name) + "\t" + std::to_string(rows) + "\n";
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < width; ++c) {
                if (c) out += '\t';
                out += escapeCell(ws.cell(r, c));
            }
            out += '\n';
        }
    }
    return out;
}

inline bool haveXlrd() {
    return std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") == 0;
}

/// Reads the workbook with python3-xlrd; returns its dump (same form as dumpWorkbook) and its warnings.
inline bool xlrdDump(const TempDir& dir, const std::string& xls, std::string* dump, std::string* warnings) {
    const std::string script = dir.file("dump.py");
    std::ofstream(script) << R"PY(import sys, xlrd
def esc(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')
def text(c):
    if c.ctype == xlrd.XL_CELL_NUMBER:
        return repr(c.value)
    return c.value if isinstance(c.value, str) else str(c.value)
with open(sys.argv[3], 'w') as log:
    book = xlrd.open_workbook(sys.argv[1], logfile=log, verbosity=0)
with open(sys.argv[2], 'w', encoding='utf-8', newline='') as out:
    for sh in book.sheets():
        out.write('sheet\t%s\t%d\n' % (esc(sh.name), sh.nrows))
        for r in range(sh.nrows):
            out.write('\t'.join(esc(text(c)) for c in sh.row(r)) + '\n')
)PY";
    const std::string out = dir.file("dump.txt"), log = dir.file("xlrd.log");
    const std::string cmd =
        "/usr/bin/python3 '" + script + "' '" + xls + "' '" + out + "' '" + log + "' 2>>'" + log + "'";
    const bool ok = std::system(cmd.c_str()) == 0;
    *dump = slurp(out);
    *warnings = slurp(log);
    return ok;
}

}  // namespace thermivo::exporttest
