#include "PictureFiles.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>

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

}  // namespace

std::optional<TPictureFormat> PictureFormatOf(const QString& FileName)
{
    if (FileName.endsWith(".svg", Qt::CaseInsensitive)) return TPictureFormat::pfSvg;
    if (FileName.endsWith(".png", Qt::CaseInsensitive)) return TPictureFormat::pfPng;
    return std::nullopt;
}

void WriteFileBytes(const QString& FileName, const QByteArray& Bytes)
{
    // The program's one writer: an exclusive temporary file beside the target, renamed onto a
    // regular file or nothing (never through a link, onto a fifo or a device).
    WriteTextFile(ToModel(FileName), std::string(Bytes.constData(), static_cast<std::size_t>(Bytes.size())));
}

void WritePicture(const QString& FileName, TPictureFormat Format, QSize Size, const QString& Title,
                  const std::function<void(QPainter&)>& Paint, double Scale)
{
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
        QImage Image(Pixels, QImage::Format_RGB32);
        if (Image.isNull())
            Fail(FileName,
                 QString("not enough memory for a picture of %1 x %2 pixels").arg(Pixels.width()).arg(Pixels.height()));
        Image.setDevicePixelRatio(Scale);
        Image.fill(Qt::white);
        {
            QPainter Painter(&Image);
            Painter.setRenderHint(QPainter::Antialiasing);
            Paint(Painter);
        }
        Image.setText("Title", Title);
        QImageWriter Writer(&Buffer, "png");
        if (!Writer.write(Image)) Fail(FileName, Writer.errorString());
    }
    Buffer.close();
    WriteFileBytes(FileName, Bytes);
}

}  // namespace orbench::ui
