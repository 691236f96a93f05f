// Workbook reader: any bytes either parse or raise WorkbookError; whatever parses must write and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "export/Workbook.h"
#include "export/WorkbookError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const thermivo::Workbook wb =
            thermivo::Workbook::fromXls(std::string_view(reinterpret_cast<const char*>(data), size));
        if (wb.sheets().empty()) return 0;
        const thermivo::Workbook again = thermivo::Workbook::fromXls(wb.toXls());
        if (again.sheets().size() != wb.sheets().size()) __builtin_trap();
    } catch (const thermivo::WorkbookError&) {
    }
    return 0;
}
