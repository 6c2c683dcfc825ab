// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdint>
#include <cstdlib>

// Shared by the fuzz targets: the application object some of Qt needs
// (made in LLVMFuzzerInitialize, fuzzsupport.cpp), and the check that stops
// the run on a broken promise.
namespace FuzzSupport {

inline void startApplication()
{
    // Settings files are written and synced by the thousand: keep them in
    // memory where the system has a place for that.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    static int argc = 1;
    static char name[] = "quillon-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // Reports of refused input are expected by the thousand; keep the
    // fuzzer's output to its own findings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A broken promise is a finding: abort so the fuzzer keeps the input.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace FuzzSupport
