#include "OverlapReport.h"

#include "FileUtils.h"
#include "NumberFormat.h"

namespace orbench {

namespace {

constexpr double ChosenValue = 1e-8;

}  // namespace

const char* const UnmarkedLine = "Not chosen, but not marked REMOVE_ (the rename failed):";

const TReportTexts& OverlapReportTexts()
{
    static const TReportTexts Texts{"Overlap between ",           " instances:", "Maximum overlap", false, "",
                                    "Overlap between remaining ", " instances:"};
    return Texts;
}

const TReportTexts& ProximityReportTexts()
{
    static const TReportTexts Texts{"0.05-proximity quantity between original ",
                                    " instances:",
                                    "Maximum 0.05-proximity quantity between selected ",
                                    true,
                                    " instances",
                                    "0.05-proximity quantity between selected ",
                                    " instances:"};
    return Texts;
}

double FindMaximumOverlap(const DoubDoubArray& Overlap)
{
    double Maximum = 0;
    for (std::size_t i = 0; i < Overlap.size(); ++i)
        for (std::size_t j = 0; j < Overlap[i].size(); ++j)
            if (i != j && Overlap[i][j] > Maximum) Maximum = Overlap[i][j];
    return Maximum;
}

std::string WriteOverlapReport(const std::string& FileName, const DoubDoubArray& Overlap, double MaxOverlap,
                               const DoubArray& X, int K, bool SelectionApplied, const TReportTexts& Texts,
                               const std::vector<std::string>& Unmarked)
{
    const std::size_t N = Overlap.size();
    std::string Content;
    Content.reserve(256 + 2 * N * N * 8);  // both matrices, 8 bytes an entry
    AppendLine(Content, Texts.Header + std::to_string(N) + Texts.HeaderEnd);
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = 0; j < N; ++j) {
            if (j > 0) Content += '\t';
            AppendFixed(Content, Overlap[i][j], 5);
        }
        Content += "\r\n";
    }
    AppendLine(Content, "");
    AppendLine(Content, FormatFixed(MaxOverlap, 5) + "\t" + Texts.MaximumLine +
                            (Texts.MaximumLineNamesK ? std::to_string(K) + Texts.MaximumLineEnd : std::string()));
    if (SelectionApplied) {
        AppendLine(Content, "");
        AppendLine(Content, "");
        AppendLine(Content, Texts.RemainingHeader + std::to_string(K) + Texts.RemainingHeaderEnd);
        auto Chosen = [&](std::size_t i) { return X.size() > 1 + i && X[1 + i] > ChosenValue; };
        for (std::size_t i = 0; i < N; ++i) {
            if (!Chosen(i)) continue;
            for (std::size_t j = 0; j < N; ++j)
                if (Chosen(j)) {
                    AppendFixed(Content, Overlap[i][j], 5);
                    Content += '\t';
                }
            Content += "\r\n";
        }
    }
    if (!Unmarked.empty()) {
        std::string Line = UnmarkedLine;
        for (const std::string& Name : Unmarked) Line += "\t" + Name;
        AppendLine(Content, Line);
    }
    WriteTextFile(FileName, Content);
    return Content;
}

}  // namespace orbench
