#include "CliBatchHost.h"

#include "CliSupport.h"
#include "Selection.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace orbench::cli {

namespace {

std::string Clock(double Seconds)
{
    const long Total = static_cast<long>(Seconds + 0.5);
    char Text[32];
    std::snprintf(Text, sizeof Text, "%ld:%02ld:%02ld", Total / 3600, Total / 60 % 60, Total % 60);
    return Text;
}

}  // namespace

TCliBatchHost::TCliBatchHost() : FTerminal(isatty(STDERR_FILENO) != 0) {}

TCliBatchHost::~TCliBatchHost() { ClearBar(); }

void TCliBatchHost::AddMessage(const std::string& Message)
{
    ClearBar();
    std::fprintf(stderr, "%s\n", Message.c_str());
    std::fflush(stderr);
    DrawBar();
}

void TCliBatchHost::ShowProgress(int Maximum)
{
    FMaximum = Maximum;
    FDone = 0;
    FStart = std::chrono::steady_clock::now();
    FBarActive = true;
    DrawBar();
}

void TCliBatchHost::AdvanceProgress()
{
    ++FDone;
    DrawBar();
}

void TCliBatchHost::HideProgress()
{
    ClearBar();
    FBarActive = false;
}

bool TCliBatchHost::CheckPoint() { return CliStopRequested(); }

bool TCliBatchHost::StopRequested() { return CliStopRequested(); }

std::function<void(double, double)> TCliBatchHost::SelectionProgress()
{
    return TSelectionReporter([this](const std::string& Line) {
        ClearBar();
        PrintError(Prefix + Line + SelectionProgressAdvice);
        DrawBar();
    });
}

// The last line of the run names --max-draws and --deviation (DrawLimitHint).
std::string TCliBatchHost::DrawLimitAdvice() const { return ""; }

void TCliBatchHost::DrawBar()
{
    if (!FTerminal || !FBarActive) return;
    constexpr int Width = 30;
    const int Filled = FMaximum > 0 ? Width * FDone / FMaximum : 0;
    const double Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    std::string Line = "\r[" + std::string(static_cast<std::size_t>(Filled), '#') +
                       std::string(static_cast<std::size_t>(Width - Filled), '.') + "] " + std::to_string(FDone) + "/" +
                       std::to_string(FMaximum) + "  elapsed " + Clock(Elapsed);
    if (FDone > 0 && FDone < FMaximum) Line += "  remaining ~" + Clock(Elapsed / FDone * (FMaximum - FDone));
    Line += "\x1b[K";
    std::fputs(Line.c_str(), stderr);
    std::fflush(stderr);
    FBarShown = true;
}

void TCliBatchHost::ClearBar()
{
    if (!FBarShown) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    FBarShown = false;
}

}  // namespace orbench::cli
