#pragma once

#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class QPainter;

namespace orbench::ui {

enum class TPictureFormat { pfSvg, pfPng };

// The picture format a file name asks for by its extension: ".svg" or ".png" in any letter case.
std::optional<TPictureFormat> PictureFormatOf(const QString& FileName);

// Paints a picture of Size pixels with Paint (on a white ground) and writes it to FileName,
// replacing the file only once the whole picture is written: an SVG drawing through Qt's SVG
// generator, or a PNG image of Scale times as many pixels in each direction. Throws EOutputError
// ("FILE: reason") when the file cannot be written or the image does not fit into memory.
void WritePicture(const QString& FileName, TPictureFormat Format, QSize Size, const QString& Title,
                  const std::function<void(QPainter&)>& Paint, double Scale = 1);

// Writes Bytes to FileName with the program's writer (WriteTextFile): only a complete file, and
// only onto a regular file or nothing; throws EOutputError.
void WriteFileBytes(const QString& FileName, const QByteArray& Bytes);

}  // namespace orbench::ui
