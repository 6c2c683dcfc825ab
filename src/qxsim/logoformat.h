// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The forms a logo takes in the simulator. A logo is 2048 bytes: 64 rows of 32
// bytes, row r at bytes 32r to 32r + 31, row 0 the bottom line, bit 7 of a byte
// the leftmost pixel.
//
// On the line a logo travels as two fields of 32 lines each: the odd field
// carries rows 62, 60, ..., 2, 0, the even field rows 63, 61, ..., 3, 1. A logo
// download sends the lines in this order, and the upload stream carries them so.
namespace LogoFormat {

inline constexpr int Rows = 64;
inline constexpr int RowBytes = 32;
inline constexpr qsizetype LogoSize = Rows * RowBytes;
inline constexpr qsizetype BitmapFileSize = 2110;

// The row that line n (0 to 63) of the field order carries.
int rowOfLine(int line);

// The logo in rows from its lines in field order. A short input leaves the
// rest zero; bytes beyond 2048 are ignored.
QByteArray rowsFromFields(const QByteArray &fields);
// The logo's lines in field order (the inverse of rowsFromFields).
QByteArray fieldsFromRows(const QByteArray &logo);

// A 256 x 64 bitmap file with one bit per pixel, palette black (0) and white
// (1), holding the logo bytes unchanged, row 0 first: exactly 2110 bytes.
QByteArray bitmapFile(const QByteArray &logo);

// A short fingerprint of a logo (CRC-16, ISO 3309) as four upper-case hex digits.
QByteArray checksum(const QByteArray &logo);

} // namespace LogoFormat
