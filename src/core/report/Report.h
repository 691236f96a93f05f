#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Statistics.h"
#include "canvas/Canvas.h"

namespace thermivo {

struct AppSettings;
struct Recording;

/// What a report is asked for, besides the recording: where it came from and who makes it.
struct ReportRequest {
    std::string sourceName;    ///< the file name as shown (the path the user gave)
    std::string sourceSha256;  ///< 64 hex digits of the file's content
    std::optional<std::int64_t> from, to;
    double activationEnergyKJPerMol = kDefaultActivationEnergyKJPerMol;
    std::string comment;
    std::int64_t madeAt = 0;  ///< seconds since 1970
    std::string user;
    std::string program;  ///< "Thermivo 0.1.0"
    /// What this computer's history says of the source file (whether it is a verified original), one line
    /// each; empty when it was not asked.
    std::string origin;
};

/// One labelled line of the report. The identity block is a list of these, so a further line (e.g. whether
/// the file is a verified original) is one more entry.
struct ReportField {
    std::string label, value;
};

/// The verdict of one quantity: one line of the framed box.
struct ReportVerdict {
    enum class Outcome { Within, Exceeded, NoLimits };
    Outcome outcome = Outcome::NoLimits;
    std::string quantity, text;
};

/// A row of the excursion table, in display form.
struct ReportExcursionRow {
    std::string number, quantity, side, start, end, duration, extreme;
};

/// Everything a report says, in the user's language and unit; the pages only place it.
struct ReportContent {
    std::string title;
    std::vector<ReportField> identity;
    std::vector<ReportVerdict> verdicts;
    /// Statistics lines; a field with an empty value is a sub-heading (the quantity).
    std::vector<ReportField> statistics;
    std::vector<ReportExcursionRow> excursions;
    std::string comment;
    std::string serial, digestPrefix;  ///< for every page's footer
    std::string program;               ///< "Thermivo 0.1.0", the document's creator
    RecordingStatistics stats;
    bool fahrenheit = false;
    std::string unit, humidityUnit;
};

/// Statistics of the requested range and every text of the report.
ReportContent buildReportContent(const Recording& rec, const ReportRequest& request,
                                 const AppSettings& settings);

/// The pages of one report for a device of the given resolution and printable area (device pixels):
/// the content flowed onto portrait pages, the excursion table continued with its header on each page.
class ReportDocument {
  public:
    ReportDocument(const Recording& rec, ReportContent content, int dpiX, int dpiY, int width, int height);

    int pageCount() const { return static_cast<int>(pages_.size()); }
    /// Draws page `page` (1-based).
    void drawPage(Canvas& canvas, int page) const;
    const ReportContent& content() const { return content_; }

    /// A block of the flow; public for the layout's tests.
    struct Block {
        enum class Kind {
            Title,
            Heading,
            Field,
            Verdicts,
            StatLine,
            Curve,
            TableHeader,
            TableRow,
            Note,
            CommentLine,
            Signature
        };
        Kind kind;
        int index = 0;  ///< into the content's list of that kind
        double heightMm = 0;
        double topMm = 0;  ///< placed position on its page
    };
    const std::vector<std::vector<Block>>& pages() const { return pages_; }

  private:
    int px(double mm) const;
    int py(double mm) const;
    void drawBlock(Canvas& canvas, const Block& b) const;
    void drawCurve(Canvas& canvas, double topMm) const;
    void drawFooter(Canvas& canvas, int page) const;

    const Recording& rec_;
    ReportContent content_;
    std::vector<std::string> commentLines_;
    int dpiX_, dpiY_;
    double scale_ = 1;  ///< fits the page design into the printable area
    std::vector<std::vector<Block>> pages_;
};

/// Breaks a text into lines of at most `columns` columns (a CJK character takes two); explicit line breaks
/// kept.
std::vector<std::string> wrapText(const std::string& text, int columns);

}  // namespace thermivo
