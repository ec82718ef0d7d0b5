#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "Model.h"
#include "CliSupport.h"

namespace orbench::cli {

// The plot command: pictures of the plane and of the overlap matrix. orbench-cli hands it to the
// program orbench-plot beside it, which draws with the desktop program's window code.
const TCommandDef& PlotCommandDef();

// orbench-cli's plot: runs orbench-plot from the folder of the running program with the command
// line (as parsed) and returns its exit code; 2 when orbench-plot is missing or cannot be started.
int RunPlotProgram(const TParsedArgs& Args);

// What a plot shows, read from the files and checked.
struct TPlotJob {
    bool Overlap = false;  // plot overlap
    bool Stats = false;    // plot stats; neither: plot plane
    std::string OutFile;
    std::string Format = "svg";  // "svg", "png" or "pdf", by the extension
    // The figure's size in points (1/72 inch), and the dots per inch of a PNG.
    double WidthPt = 241;
    double HeightPt = 241;
    double Dpi = 300;
    std::string Title;                       // none when empty
    bool WordLabels = false;                 // plane: "mean / capacity" and "CV"
    bool Fit = false;                        // plane: the axes widen to show every point
    std::vector<std::string> InstanceFiles;  // as given
    std::unique_ptr<TRun> Run;               // the model with the files read
    TCaseMix* CaseMix = nullptr;             // with the instances read, in the order given
    // plane: the case-mix type whose region is shown
    int CaseMixType = 0;
    // overlap: the matrix, and the chosen instances (empty without a selection)
    DoubDoubArray Matrix;
    std::vector<bool> Chosen;
};

// Draws the picture of a job into its file; throws EOutputError when the file cannot be written.
using TPlotDrawer = std::function<void(const TPlotJob& Job)>;

// The plot command with the arguments of orbench-cli: checks them, reads the files, computes
// the matrix (and the selection) and hands the job to Draw. Returns the exit code: 0, 1 for bad
// usage or input, 2 when the picture cannot be written, 3 when a selection was refused (the
// picture is written without marks), 130 after Ctrl-C. Messages go to stderr.
int RunPlotCommand(const std::vector<std::string>& Args, const TPlotDrawer& Draw);

}  // namespace orbench::cli
