// SPDX-License-Identifier: GPL-3.0-or-later
// The logo stream an upload receives: marker search, fields, inversion.
#include "fuzzsupport.h"

#include "logo/logofilewriter.h"
#include "logo/logoupload.h"

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream = FuzzSupport::bytes(data, size);
    qsizetype available = -1;
    const auto logo = LogoUpload::decode(stream, &available);
    require(available <= stream.size());
    if (!logo)
        return 0;
    require(stream.contains("SD"));
    // A decoded logo always makes files of the fixed sizes.
    require(LogoFileWriter::bmpBytes(*logo, false).size() == 2110);
    require(LogoFileWriter::qx1Bytes(*logo, true).size() == LogoFileWriter::qx1Bytes(*logo, false).size());
    return 0;
}
