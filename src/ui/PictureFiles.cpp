#include "PictureFiles.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cmath>

#include "FileUtils.h"
#include "OrbenchError.h"
#include "UiServices.h"

namespace orbench::ui {

namespace {

// SVG user units are CSS pixels: 96 to the inch.
constexpr int SvgResolution = 96;

[[noreturn]] void Fail(const QString& FileName, const QString& Reason)
{
    throw EOutputError(ToModel(FileName) + ": " + ToModel(Reason));
}

// A white image of Pixels, or the error of a picture too large for the memory.
QImage WhiteImage(const QString& FileName, QSize Pixels)
{
    QImage Image(Pixels, QImage::Format_RGB32);
    if (Image.isNull())
        Fail(FileName,
             QString("not enough memory for a picture of %1 x %2 pixels").arg(Pixels.width()).arg(Pixels.height()));
    Image.fill(Qt::white);
    return Image;
}

void WritePng(const QString& FileName, QImage& Image, const QString& Title, QIODevice& Device)
{
    Image.setText("Title", Title);
    QImageWriter Writer(&Device, "png");
    if (!Writer.write(Image)) Fail(FileName, Writer.errorString());
}

}  // namespace

std::optional<TPictureFormat> PictureFormatOf(const QString& FileName)
{
    if (FileName.endsWith(".svg", Qt::CaseInsensitive)) return TPictureFormat::pfSvg;
    if (FileName.endsWith(".png", Qt::CaseInsensitive)) return TPictureFormat::pfPng;
    if (FileName.endsWith(".pdf", Qt::CaseInsensitive)) return TPictureFormat::pfPdf;
    return std::nullopt;
}

void WriteFileBytes(const QString& FileName, const QByteArray& Bytes)
{
    // The program's one writer: an exclusive temporary file beside the target, renamed onto a
    // regular file or nothing (never through a link, onto a fifo or a device).
    WriteTextFile(ToModel(FileName), std::string(Bytes.constData(), static_cast<std::size_t>(Bytes.size())));
}

void WriteFigure(const QString& FileName, TPictureFormat Format, QSizeF SizePt, double Dpi, const QString& Title,
                 const std::function<void(QPainter&)>& Paint)
{
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    const QRectF Page(QPointF(0, 0), SizePt);
    if (Format == TPictureFormat::pfSvg) {
        QSvgGenerator Generator;
        Generator.setOutputDevice(&Buffer);
        Generator.setResolution(72);  // a font's points are the view box's units
        Generator.setSize(SizePt.toSize());
        Generator.setViewBox(Page);
        Generator.setTitle(Title);
        Generator.setDescription("Made by Orbench");
        {
            QPainter Painter(&Generator);
            Painter.fillRect(Page, Qt::white);
            Paint(Painter);
        }
        // The generator gives the size in whole points; the figure's own size is written instead,
        // in millimetres to a hundredth.
        Buffer.close();
        const auto Mm = [](double Points) { return QString::number(std::round(Points / 72 * 2540) / 100, 'g', 10); };
        const QString Given = QRegularExpression("<svg width=\"[^\"]*\" height=\"[^\"]*\"")
                                  .match(QString::fromUtf8(Bytes.left(200)))
                                  .captured(0);
        if (!Given.isEmpty())
            Bytes.replace(
                Given.toUtf8(),
                QString("<svg width=\"%1mm\" height=\"%2mm\"").arg(Mm(SizePt.width()), Mm(SizePt.height())).toUtf8());
    } else if (Format == TPictureFormat::pfPdf) {
        QPdfWriter Writer(&Buffer);
        Writer.setPageSize(QPageSize(SizePt, QPageSize::Point, QString(), QPageSize::ExactMatch));
        Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        Writer.setResolution(72);
        Writer.setTitle(Title);
        Writer.setCreator("Orbench");
        QPainter Painter(&Writer);
        Painter.fillRect(Page, Qt::white);
        Paint(Painter);
    } else {
        const double Scale = Dpi / 72;
        const QSize Pixels(static_cast<int>(std::lround(SizePt.width() * Scale)),
                           static_cast<int>(std::lround(SizePt.height() * Scale)));
        QImage Image = WhiteImage(FileName, Pixels);
        // Painted at 72 dots per inch, so that a font's points are the painter's units, and scaled to
        // the pixels; the file then says its real resolution.
        const auto SetDpi = [&Image](double Value) {
            Image.setDotsPerMeterX(static_cast<int>(std::lround(Value / 0.0254)));
            Image.setDotsPerMeterY(static_cast<int>(std::lround(Value / 0.0254)));
        };
        SetDpi(72);
        {
            QPainter Painter(&Image);
            Painter.setRenderHint(QPainter::Antialiasing);
            Painter.setRenderHint(QPainter::TextAntialiasing);
            Painter.scale(Scale, Scale);
            Paint(Painter);
        }
        SetDpi(Dpi);
        WritePng(FileName, Image, Title, Buffer);
    }
    Buffer.close();
    WriteFileBytes(FileName, Bytes);
}

void WritePicture(const QString& FileName, TPictureFormat Format, QSize Size, const QString& Title,
                  const std::function<void(QPainter&)>& Paint, double Scale)
{
    if (Format == TPictureFormat::pfPdf) {  // a page of the picture's pixels as points
        WriteFigure(FileName, Format, QSizeF(Size), 72, Title, Paint);
        return;
    }
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    if (Format == TPictureFormat::pfSvg) {
        QSvgGenerator Generator;
        Generator.setOutputDevice(&Buffer);
        Generator.setSize(Size);
        Generator.setViewBox(QRect(QPoint(0, 0), Size));
        Generator.setResolution(SvgResolution);
        Generator.setTitle(Title);
        Generator.setDescription("Made by Orbench");
        QPainter Painter(&Generator);
        Painter.fillRect(QRect(QPoint(0, 0), Size), Qt::white);
        Paint(Painter);
    } else {
        const QSize Pixels = Size * Scale;
        QImage Image = WhiteImage(FileName, Pixels);
        Image.setDevicePixelRatio(Scale);
        {
            QPainter Painter(&Image);
            Painter.setRenderHint(QPainter::Antialiasing);
            Paint(Painter);
        }
        WritePng(FileName, Image, Title, Buffer);
    }
    Buffer.close();
    WriteFileBytes(FileName, Bytes);
}

}  // namespace orbench::ui
