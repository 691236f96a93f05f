#pragma once
#include <string>
#include <string_view>

namespace thermivo {

/// A version-3 compound file (512-byte sectors) holding one stream named "Workbook". Streams shorter than
/// 4096 bytes are padded with zeros so that no mini stream is needed; DIFAT sectors are added when the FAT
/// outgrows the 109 entries of the header.
std::string writeCompoundFile(const std::string& workbookStream);

/// The "Workbook" stream of a compound file (version 3 or 4, mini stream included). Throws WorkbookError
/// (BadFile) for anything that is not a well-formed container holding such a stream.
std::string readWorkbookStream(std::string_view file);

}  // namespace thermivo
