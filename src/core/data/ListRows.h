#pragma once
#include <string>
#include <utility>
#include <vector>

#include "data/Recording.h"

namespace thermivo {

struct AppSettings;

/// Rows of the summary list (label, value): rows 0-9, plus the humidity rows 10-14 for kind 4.
/// The description is not listed. Headers are texts 35 and 36.
std::vector<std::pair<std::string, std::string>> summaryListRows(const Recording& rec);

/// Number of columns of the sample list (number, time, temperature).
inline constexpr int kSampleListColumns = 3;
/// The window's list of a kind-4 recording has a fourth column, the humidity.
inline constexpr int kSampleListColumnsHumidity = 4;
/// Columns the window's list shows for a recording.
int sampleListColumns(const Recording& rec);

/// Text of one cell of the sample list: "%d" number, local time, temperature in the current unit with "*"
/// when out of limits; column 3 the humidity of a kind-4 recording with "*" when out of its limits. Items
/// outside the loaded samples and unknown columns are empty.
std::string sampleListCell(const Recording& rec, int item, int column, const AppSettings& settings);
std::string sampleListCell(const Recording& rec, int item, int column);

/// Header of a sample-list column: texts 30, 31, 32, and 33 for the humidity.
std::string sampleListHeader(int column);

}  // namespace thermivo
