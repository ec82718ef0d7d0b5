#pragma once

#include <string>
#include <vector>

#include "Model.h"

namespace orbench {

// The texts that tell an overlap report from a proximity report.
struct TReportTexts {
    std::string Header;  // "Overlap between " N " instances:"
    std::string HeaderEnd;
    std::string MaximumLine;  // after the maximum and a TAB
    bool MaximumLineNamesK;   // followed by K and MaximumLineEnd
    std::string MaximumLineEnd;
    std::string RemainingHeader;  // before K
    std::string RemainingHeaderEnd;
};

const TReportTexts& OverlapReportTexts();
// The maximum line names K: "Maximum 0.05-proximity quantity between selected K instances".
const TReportTexts& ProximityReportTexts();

// The largest off-diagonal entry, starting from 0.
double FindMaximumOverlap(const DoubDoubArray& Overlap);

// Writes the report of one combination: the matrix, the maximum line and, when a selection was
// applied (X holds its columns), the matrix of the chosen instances. Numbers have five decimals
// and '.'. When some files of instances not chosen could not be marked (Unmarked: their names),
// one last line names them: UnmarkedLine, then TAB and a name for each. Returns the bytes written;
// throws EOrbenchError when the file cannot be written.
std::string WriteOverlapReport(const std::string& FileName, const DoubDoubArray& Overlap, double MaxOverlap,
                               const DoubArray& X, int K, bool SelectionApplied,
                               const TReportTexts& Texts = OverlapReportTexts(),
                               const std::vector<std::string>& Unmarked = {});

// The start of the report's last line when files could not be marked.
extern const char* const UnmarkedLine;

}  // namespace orbench
