// orbench-plot: the drawing back end of "orbench-cli plot". It takes orbench-cli's arguments and
// draws with the desktop program's window code, offscreen, so that no display is needed.
#include <QApplication>
#include <QPainter>
#include <cstdio>
#include <memory>

#include "CliPlot.h"
#include "InstanceStats.h"
#include "PlaneFigure.h"
#include "OverlapShading.h"
#include "PictureFiles.h"
#include "UiServices.h"

namespace {

using namespace orbench;
using namespace orbench::cli;
using namespace orbench::ui;

// Qt's own chatter (missing runtime folders, window system hints) is no message of this program.
void QuietQtMessages(QtMsgType Type, const QMessageLogContext&, const QString& Message)
{
    if (Type == QtCriticalMsg || Type == QtFatalMsg)
        std::fprintf(stderr, "orbench-cli: %s\n", Message.toLocal8Bit().constData());
}

TPictureFormat FormatOf(const TPlotJob& Job)
{
    return Job.Format == "png"   ? TPictureFormat::pfPng
           : Job.Format == "pdf" ? TPictureFormat::pfPdf
                                 : TPictureFormat::pfSvg;
}

std::vector<const TInstance*> InstancesOf(const TPlotJob& Job)
{
    std::vector<const TInstance*> Instances;
    for (int i = 0; i < Job.CaseMix->Instances.Count(); ++i) Instances.push_back(Job.CaseMix->Instances[i]);
    return Instances;
}

void DrawPlane(const TPlotJob& Job)
{
    plot::TPlaneFigure Figure;
    Figure.CaseMixType = Job.CaseMixType;
    Figure.CaseMix = Job.CaseMix;
    Figure.Instances = InstancesOf(Job);
    for (const std::string& File : Job.InstanceFiles) Figure.Names.push_back(File.substr(File.find_last_of('/') + 1));
    Figure.Title = FromModel(Job.Title);
    Figure.WordLabels = Job.WordLabels;
    Figure.Fit = Job.Fit;
    plot::TPlaneDrawn Drawn;
    WriteFigure(FromModel(Job.OutFile), FormatOf(Job), QSizeF(Job.WidthPt, Job.HeightPt), Job.Dpi,
                Job.Title.empty() ? "Generated surgeries" : FromModel(Job.Title), [&](QPainter& Painter) {
                    Drawn = plot::PaintPlaneFigure(Painter, QSizeF(Job.WidthPt, Job.HeightPt), Figure);
                });
    if (Drawn.Outside > 0)
        std::fprintf(stderr, "orbench-cli: plot plane: %d of %d points lie outside the unit square; %s\n",
                     Drawn.Outside, Drawn.Points,
                     Job.Fit ? "the axes are widened to show them"
                             : "they are drawn as arrows at its edge (--fit widens the axes)");
}

void DrawOverlap(const TPlotJob& Job)
{
    const QSizeF Size(Job.WidthPt, Job.HeightPt);
    WriteFigure(FromModel(Job.OutFile), FormatOf(Job), Size, Job.Dpi,
                Job.Title.empty() ? "Overlap between instances" : FromModel(Job.Title),
                [&Job, &Size](QPainter& Painter) {
                    double Top = 0;
                    if (!Job.Title.empty()) {  // a line of the title above the matrix
                        Top = std::min(Size.width(), Size.height()) / 30 * 2.6;
                        QFont Font;
                        Font.setPointSizeF(Top / 2.1);
                        Painter.setFont(Font);
                        Painter.drawText(QRectF(0, 0, Size.width(), Top), Qt::AlignCenter, FromModel(Job.Title));
                    }
                    Painter.translate(0, Top);
                    PaintOverlapMatrix(Painter, QSizeF(Size.width(), Size.height() - Top), Job.Matrix, Job.Chosen);
                });
}

void DrawStats(const TPlotJob& Job)
{
    const TInstanceStats Stats = ComputeInstanceStats(InstancesOf(Job));
    const QSizeF Size(Job.WidthPt, Job.HeightPt);
    WriteFigure(FromModel(Job.OutFile), FormatOf(Job), Size, Job.Dpi,
                Job.Title.empty() ? "Statistics of a set of instances" : FromModel(Job.Title),
                [&](QPainter& Painter) { plot::PaintStatsFigure(Painter, Size, Stats, FromModel(Job.Title)); });
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> Args(argv + 1, argv + argc);
    // Drawn offscreen unless a platform is asked for, so that a picture never depends on a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    // The application is started only for a picture, after the arguments and files were read.
    int QtArgc = 1;
    std::unique_ptr<QApplication> Application;
    return RunPlotCommand(Args, [&](const TPlotJob& Job) {
        if (!Application) Application = std::make_unique<QApplication>(QtArgc, argv);
        if (Job.Overlap)
            DrawOverlap(Job);
        else if (Job.Stats)
            DrawStats(Job);
        else
            DrawPlane(Job);
    });
}
