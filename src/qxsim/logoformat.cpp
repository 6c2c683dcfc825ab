// SPDX-License-Identifier: GPL-3.0-or-later
#include "logoformat.h"

#include <QtEndian>

namespace {

QByteArray normalised(const QByteArray &logo)
{
    QByteArray bytes = logo.left(LogoFormat::LogoSize);
    bytes.resize(LogoFormat::LogoSize, '\0');
    return bytes;
}

template<typename T> void append(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

namespace LogoFormat {

int rowOfLine(int line)
{
    const int half = Rows / 2;
    return line < half ? Rows - 2 - 2 * line : Rows - 1 - 2 * (line - half);
}

QByteArray rowsFromFields(const QByteArray &fields)
{
    const QByteArray wire = normalised(fields);
    QByteArray logo(LogoSize, '\0');
    for (int line = 0; line < Rows; ++line)
        logo.replace(rowOfLine(line) * RowBytes, RowBytes, wire.mid(line * RowBytes, RowBytes));
    return logo;
}

QByteArray fieldsFromRows(const QByteArray &logo)
{
    const QByteArray rows = normalised(logo);
    QByteArray fields;
    fields.reserve(LogoSize);
    for (int line = 0; line < Rows; ++line)
        fields += rows.mid(rowOfLine(line) * RowBytes, RowBytes);
    return fields;
}

QByteArray bitmapFile(const QByteArray &logo)
{
    constexpr quint32 headersSize = 14 + 40 + 2 * 4;
    QByteArray file;
    file.reserve(BitmapFileSize);
    file += "BM";
    append<quint32>(file, static_cast<quint32>(BitmapFileSize));
    append<quint16>(file, 0);
    append<quint16>(file, 0);
    append<quint32>(file, headersSize);
    append<quint32>(file, 40);
    append<qint32>(file, RowBytes * 8);     // width
    append<qint32>(file, Rows);             // height
    append<quint16>(file, 1);               // planes
    append<quint16>(file, 1);               // bits per pixel
    for (int field = 0; field < 6; ++field) // compression, image size, resolutions, colours
        append<quint32>(file, 0);
    append<quint32>(file, 0x00000000); // palette 0: black
    append<quint32>(file, 0x00FFFFFF); // palette 1: white
    file += normalised(logo);
    return file;
}

QByteArray checksum(const QByteArray &logo)
{
    return QByteArray::number(qChecksum(logo), 16).toUpper().rightJustified(4, '0');
}

} // namespace LogoFormat
