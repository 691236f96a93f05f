// SQL subset: any text either parses or raises WorkbookError; statements that parse run on a workbook.
#include <cstddef>
#include <cstdint>
#include <string>

#include "export/WorkbookError.h"
#include "export/WorkbookSql.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    try {
        const thermivo::SqlStatement st = thermivo::parseSql(sql);
        if (st.kind == thermivo::SqlStatement::Kind::Insert && st.values.empty()) __builtin_trap();
        if (st.range.lastRow > 65535 || st.range.lastColumn > 255) __builtin_trap();
    } catch (const thermivo::WorkbookError&) {
    }
    return 0;
}
