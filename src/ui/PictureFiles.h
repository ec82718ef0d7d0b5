#pragma once

#include <QSize>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>

class QPainter;

namespace orbench::ui {

enum class TPictureFormat { pfSvg, pfPng, pfPdf };

// The picture format a file name asks for by its extension: ".svg", ".png" or ".pdf" in any
// letter case.
std::optional<TPictureFormat> PictureFormatOf(const QString& FileName);

// Paints a picture of Size pixels with Paint (on a white ground) and writes it to FileName,
// replacing the file only once the whole picture is written: an SVG drawing through Qt's SVG
// generator, or a PNG image of Scale times as many pixels in each direction. Throws EOutputError
// ("FILE: reason") when the file cannot be written or the image does not fit into memory.
void WritePicture(const QString& FileName, TPictureFormat Format, QSize Size, const QString& Title,
                  const std::function<void(QPainter&)>& Paint, double Scale = 1);

// A figure for a paper: Paint draws in points (1/72 inch) on a white ground of SizePt points, and
// the file gets that physical size: an SVG of that width and height (its view box in points), a
// one-page PDF of that page size through Qt's own PDF writer, or a PNG of SizePt * Dpi / 72
// pixels. Written like WritePicture; Title goes into the file's metadata.
void WriteFigure(const QString& FileName, TPictureFormat Format, QSizeF SizePt, double Dpi, const QString& Title,
                 const std::function<void(QPainter&)>& Paint);

// Writes Bytes to FileName with the program's writer (WriteTextFile): only a complete file, and
// only onto a regular file or nothing; throws EOutputError.
void WriteFileBytes(const QString& FileName, const QByteArray& Bytes);

}  // namespace orbench::ui
