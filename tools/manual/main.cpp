// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-manual: renders the program's windows offscreen and prints the
// manual with them to a PDF file; or draws the program's icon as a PNG file.
//
//   quillon-manual --source doc/manual.md --logo share/demo-logo.bmp
//                  --images DIR --output Quillon-Manual.pdf --version 4.0.0
//   quillon-manual --icon quillon.png --size 48

#include "iconpainter.h"
#include "manualrenderer.h"
#include "windowshots.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

int fail(const QString &message)
{
    QTextStream(stderr) << "quillon-manual: " << message << '\n';
    return 1;
}

// The offscreen platform talks about window features it lacks; only real
// trouble is worth showing during a build.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        QTextStream(stderr) << message << '\n';
}

} // namespace

int main(int argc, char *argv[])
{
    // Nothing appears on a desktop, and the pictures are drawn at twice the
    // pixel density so that they print sharply.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    qInstallMessageHandler(quietMessages);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the Quillon manual, with pictures of its windows, to PDF."));
    parser.addHelpOption();
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("The manual in Markdown."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption logo(QStringLiteral("logo"), QStringLiteral("The bitmap shown in slot 1."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption images(QStringLiteral("images"), QStringLiteral("Where the pictures are saved."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The PDF file to write."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("The program's version."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption icon(QStringLiteral("icon"), QStringLiteral("Draw the icon to this PNG file."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("The icon's size in pixels."),
                                  QStringLiteral("N"), QStringLiteral("48"));
    parser.addOptions({source, logo, images, output, version, icon, size});
    parser.process(app);

    if (parser.isSet(icon)) {
        const int pixels = parser.value(size).toInt();
        if (pixels < 16 || pixels > 1024)
            return fail(QStringLiteral("icon size out of range: %1").arg(parser.value(size)));
        if (!IconPainter::draw(pixels).save(parser.value(icon), "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(parser.value(icon)));
        return 0;
    }

    for (const QCommandLineOption &required : {source, logo, images, output, version}) {
        if (!parser.isSet(required))
            return fail(QStringLiteral("--%1 is missing (see --help)").arg(required.names().constFirst()));
    }
    const QString versionText = parser.value(version);
    QApplication::setApplicationVersion(versionText);

    QFile text(parser.value(source));
    if (!text.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(text.fileName(), text.errorString()));
    QString markdown = QString::fromUtf8(text.readAll());
    markdown.replace(QStringLiteral("@VERSION@"), versionText);

    QString error;
    const QHash<QString, QImage> shots = WindowShots::take(parser.value(logo), &error);
    if (shots.isEmpty())
        return fail(error);

    const QDir folder(parser.value(images));
    if (!folder.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot make %1").arg(folder.path()));
    ManualRenderer renderer(markdown, QStringLiteral("Quillon %1 \u2014 Operator's Manual").arg(versionText));
    for (auto it = shots.cbegin(); it != shots.cend(); ++it) {
        if (!it.value().save(folder.filePath(it.key()), "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(folder.filePath(it.key())));
        renderer.addImage(it.key(), it.value());
    }
    error = renderer.writePdf(parser.value(output));
    if (!error.isEmpty())
        return fail(error);
    return 0;
}
