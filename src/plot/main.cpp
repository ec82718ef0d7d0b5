// orbench-plot: the drawing back end of "orbench-cli plot". It takes orbench-cli's arguments and
// draws with the desktop program's window code, offscreen, so that no display is needed.
#include <QApplication>
#include <QPainter>
#include <cstdio>
#include <memory>

#include "CliPlot.h"
#include "OverlapShading.h"
#include "PictureFiles.h"
#include "SurgeryChart.h"
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

void DrawPlane(const TPlotJob& Job, const QSize& Size, TPictureFormat Format)
{
    TSurgeryChart Chart;
    Chart.setAttribute(Qt::WA_DontShowOnScreen);
    Chart.setFixedSize(Size);
    Chart.DrawCaseMixImage(Job.CaseMixType);
    if (Job.CaseMix->Instances.Empty()) {
        // Surgery types have no centre of mass: no key for one.
        Chart.PlotSurgeryTypes(*Job.CaseMix);
        Chart.ShowKey(false);
    } else {
        std::vector<const TInstance*> Instances;
        for (int i = 0; i < Job.CaseMix->Instances.Count(); ++i) Instances.push_back(Job.CaseMix->Instances[i]);
        Chart.PlotInstances(Instances);
    }
    Chart.show();
    QCoreApplication::processEvents();
    WritePicture(FromModel(Job.OutFile), Format, Size, "Generated surgeries",
                 [&Chart](QPainter& Painter) { Chart.RenderPicture(Painter); });
}

void DrawOverlap(const TPlotJob& Job, const QSize& Size, TPictureFormat Format)
{
    WritePicture(FromModel(Job.OutFile), Format, Size, "Overlap between instances", [&Job, &Size](QPainter& Painter) {
        PaintOverlapMatrix(Painter, QSizeF(Size), Job.Matrix, Job.Chosen);
    });
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
        const QSize Size(Job.Width, Job.Height);
        const TPictureFormat Format = Job.Svg ? TPictureFormat::pfSvg : TPictureFormat::pfPng;
        if (Job.Overlap)
            DrawOverlap(Job, Size, Format);
        else
            DrawPlane(Job, Size, Format);
    });
}
