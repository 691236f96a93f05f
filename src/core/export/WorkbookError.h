#pragma once
#include <stdexcept>
#include <string>

#include "app/SafeSave.h"

namespace thermivo {

/// What went wrong in the workbook layer; callers branch on it instead of parsing message texts.
enum class WorkbookErrc {
    BadFile,      ///< the file is not a workbook we can read (container, records, cells)
    Io,           ///< reading or writing the file failed
    NoSuchTable,  ///< a statement names a worksheet that does not exist
    TableExists,  ///< CREATE TABLE of a worksheet that exists already
    Syntax,       ///< a statement outside the supported SQL
    Semantic,     ///< a well-formed statement that cannot be carried out (unknown column, full sheet ...)
    Connection,   ///< the connection text names no usable driver or file
};

/// The error that the workbook driver raises; the message is meant for the user.
class WorkbookError : public std::runtime_error {
  public:
    WorkbookError(WorkbookErrc code, const std::string& message) : std::runtime_error(message), code_(code) {}
    WorkbookError(WorkbookErrc code, const std::string& message, SaveProblem problem)
        : std::runtime_error(message), code_(code), problem_(problem) {}
    /// The kind of failure.
    WorkbookErrc code() const { return code_; }
    /// Why a save failed, in the terms the user is told.
    SaveProblem saveProblem() const {
        if (problem_ != SaveProblem::None) return problem_;
        if (code_ == WorkbookErrc::BadFile) return SaveProblem::WorkbookUnreadable;
        if (code_ == WorkbookErrc::TableExists) return SaveProblem::WorkbookSheetExists;
        return SaveProblem::WorkbookFailed;
    }

  private:
    WorkbookErrc code_;
    SaveProblem problem_ = SaveProblem::None;
};

}  // namespace thermivo
