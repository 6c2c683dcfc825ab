// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"
#include "windowtraffic.h"

#include "cli/clijob.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <functional>

namespace {

constexpr int Port = 6;
using WindowTraffic::FakeDevice;

// Port 6, a QX-4.
void storeCommon(CoreFixture &f)
{
    f.port.present.insert(Port);
    f.setSetting(QStringLiteral("ComPort"), QString::number(Port));
    f.setSetting(QStringLiteral("Enables_A"), QStringLiteral("DIAG,"));
    f.setSetting(QStringLiteral("Enables_B"), QStringLiteral("1,"));
}

void storeSchedule(CoreFixture &f)
{
    // Sequences 1 and 2 overlap on Mondays (mask 2) from 08:00 on;
    // sequence 3 stands alone on Sundays.
    f.setSetting(QStringLiteral("S_Start"),
                 QStringLiteral("1920,1920,2400,") + QStringLiteral("-1,").repeated(17));
    f.setSetting(QStringLiteral("S_End"),
                 QStringLiteral("2000,2000,2480,") + QStringLiteral("0,").repeated(17));
    f.setSetting(QStringLiteral("S_ON"), QStringLiteral("4,4,4,") + QStringLiteral("0,").repeated(17));
    f.setSetting(QStringLiteral("S_OFF"), QStringLiteral("8,8,8,") + QStringLiteral("0,").repeated(17));
    f.setSetting(QStringLiteral("S_Logo"), QStringLiteral("1,2,3,") + QStringLiteral("0,").repeated(17));
    f.setSetting(QStringLiteral("S_Days"), QStringLiteral("2,3,1,") + QStringLiteral("0,").repeated(17));
}

} // namespace

// quillon-cli's job on a fake port: its answers, its exit codes, and for
// every command the very bytes the window sends for the same action.
class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    QString writeBitmap(const QByteArray &bytes, const QString &name = QStringLiteral("logo.bmp"))
    {
        QString path = m_files.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    struct CliRun {
        CoreFixture f;
        std::unique_ptr<CliJob> job;
        QString out;
        QString err;
        int exit = -1;
    };

    // Runs a command line through a job on a fake port with the fake device
    // (or a silent one) and returns when the job is done.
    std::unique_ptr<CliRun> runCli(const QStringList &arguments, bool deviceAnswers = true,
                                   const std::function<void(CoreFixture &)> &prepare = {})
    {
        auto run = std::make_unique<CliRun>();
        storeCommon(run->f);
        if (prepare)
            prepare(run->f);
        const CliArguments::Parsed parsed = CliArguments::parse(arguments);
        if (!parsed.request)
            qFatal("bad arguments: %s", qPrintable(parsed.error));
        QuillonCore &core = run->f.make();
        CliJob::Output output;
        output.out = [r = run.get()](const QString &text) { r->out += text; };
        output.err = [r = run.get()](const QString &text) { r->err += text + QLatin1Char('\n'); };
        run->job = std::make_unique<CliJob>(core, *parsed.request, output);
        connect(run->job.get(), &CliJob::finished, this, [r = run.get()](int code) { r->exit = code; });
        FakeDevice device{run->f.port};
        run->job->start();
        for (int i = 0; i < 30 && !run->job->done(); ++i) {
            core.link.tmrComInit_Timer();
            if (deviceAnswers)
                device.answer();
        }
        for (int i = 0; i < 3000 && !run->job->done(); ++i) {
            core.link.tmr_Delay_Timer();
            if (deviceAnswers)
                device.answer();
        }
        return run;
    }

private slots:
    void argumentsAreChecked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // empty: accepted
        const auto row = [](const char *name, const QStringList &args, const QString &error) {
            QTest::newRow(name) << args << error;
        };
        row("nothing", {}, QStringLiteral("no command"));
        row("unknown command", {QStringLiteral("dance")}, QStringLiteral("unknown command \"dance\""));
        row("unknown option", {QStringLiteral("--fast"), QStringLiteral("status")},
            QStringLiteral("unknown option --fast"));
        row("port and device",
            {QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--device"),
             QStringLiteral("/dev/x"), QStringLiteral("status")},
            QStringLiteral("not both"));
        row("empty device", {QStringLiteral("--device"), QString(), QStringLiteral("status")},
            QStringLiteral("--device needs a path"));
        row("port and empty device",
            {QStringLiteral("--port"), QStringLiteral("5"), QStringLiteral("--device"), QStringLiteral(" "),
             QStringLiteral("status")},
            QStringLiteral("--device needs a path"));
        row("port out of range", {QStringLiteral("--port"), QStringLiteral("256"), QStringLiteral("status")},
            QStringLiteral("--port must be"));
        row("port without value", {QStringLiteral("status"), QStringLiteral("--port")},
            QStringLiteral("--port needs a value"));
        row("fade below range", {QStringLiteral("set"), QStringLiteral("fade"), QStringLiteral("0")},
            QStringLiteral("fade must be a whole number from 1 to 100"));
        row("mix not a number", {QStringLiteral("set"), QStringLiteral("mix"), QStringLiteral("5x")},
            QStringLiteral("not \"5x\""));
        row("unknown setting", {QStringLiteral("set"), QStringLiteral("speed"), QStringLiteral("5")},
            QStringLiteral("not \"speed\""));
        row("take maybe", {QStringLiteral("take"), QStringLiteral("maybe")},
            QStringLiteral("on, off or toggle"));
        row("standard secam", {QStringLiteral("standard"), QStringLiteral("secam")},
            QStringLiteral("ntsc or pal"));
        row("download without file", {QStringLiteral("download")}, QStringLiteral("needs more arguments"));
        row("status with extra", {QStringLiteral("status"), QStringLiteral("now")},
            QStringLiteral("takes no argument \"now\""));
        row("negative elsewhere",
            {QStringLiteral("upload"), QStringLiteral("x.bmp"), QStringLiteral("--negative")},
            QStringLiteral("--negative belongs to download"));
        row("schedule alone", {QStringLiteral("schedule")}, QStringLiteral("list, check or run"));
        row("set-id zero", {QStringLiteral("set-id"), QStringLiteral("0")}, QStringLiteral("from 1 to 255"));
        row("wake with node option", {QStringLiteral("--node"), QStringLiteral("2"), QStringLiteral("wake")},
            QStringLiteral("wake ID"));
        row("help anywhere", {QStringLiteral("set"), QStringLiteral("--help")}, QString());
        row("all options",
            {QStringLiteral("--device"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("--node"),
             QStringLiteral("3"), QStringLiteral("download"), QStringLiteral("a.bmp"),
             QStringLiteral("--negative")},
            QString());
        row("schedule check", {QStringLiteral("schedule"), QStringLiteral("check")}, QString());
    }

    void argumentsAreChecked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const CliArguments::Parsed parsed = CliArguments::parse(arguments);
        if (error.isEmpty()) {
            QVERIFY2(parsed.request.has_value(), qPrintable(parsed.error));
        } else {
            QVERIFY(!parsed.request.has_value());
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            QVERIFY(!parsed.error.contains(QLatin1Char('\n')));
        }
    }

    // Each command sends what the window sends for the same action, after the
    // same start: the wake-up, then (for commands that need an answer) the
    // settings request.
    void commandsSendWhatTheWindowSends_data()
    {
        QTest::addColumn<int>("index");
        const auto all = WindowTraffic::cases(QString(), QString());
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name) << i;
    }

    void commandsSendWhatTheWindowSends()
    {
        QFETCH(int, index);
        const QString bitmap = writeBitmap(BitmapMaker{}.bytes());
        const QString upload = m_files.filePath(QStringLiteral("cli-upload.bmp"));
        const QString windowUpload = m_files.filePath(QStringLiteral("window-upload.bmp"));
        const WindowTraffic::Case c = WindowTraffic::cases(bitmap, upload).at(index);

        const auto cli = runCli(c.arguments);
        QCOMPARE(cli->exit, 0);
        QVERIFY2(cli->err.isEmpty(), qPrintable(cli->err));
        const QList<QByteArray> window = WindowTraffic::windowWrites(
            c, Port, FakeDevice{cli->f.port}.settings, {}, bitmap, windowUpload);
        QVERIFY(!window.isEmpty());
        QCOMPARE(cli->f.port.wire(), WindowTraffic::cliWire(c, window));

        const CliRequest request = *CliArguments::parse(c.arguments).request;
        if (request.command == CliRequest::Command::Upload) {
            QFile mine(upload);
            QFile theirs(windowUpload);
            QVERIFY(mine.open(QIODevice::ReadOnly) && theirs.open(QIODevice::ReadOnly));
            QCOMPARE(mine.readAll(), theirs.readAll());
        } else if (request.command == CliRequest::Command::Copyright) {
            QCOMPARE(cli->out, QStringLiteral("(C) 2026 Test QX04 V1.0"));
        }
    }

    void statusPrintsTheParsedReply()
    {
        const auto run = runCli({QStringLiteral("status")});
        QCOMPARE(run->exit, 0);
        QCOMPARE(run->f.port.wire(), QByteArray("WK,00ARS"));
        const QJsonObject o = QJsonDocument::fromJson(run->out.toUtf8()).object();
        QCOMPARE(o.value(QStringLiteral("fade")).toInt(), 50);
        QCOMPARE(o.value(QStringLiteral("mix")).toInt(), 99);
        QCOMPARE(o.value(QStringLiteral("hpos")).toInt(), 50);
        QCOMPARE(o.value(QStringLiteral("vpos")).toInt(), 51);
        QCOMPARE(o.value(QStringLiteral("take")).toBool(), true);
        QCOMPARE(o.value(QStringLiteral("on_time_text")).toString(), QStringLiteral("0:05:00"));
        QCOMPARE(o.value(QStringLiteral("interval")).toInt(), 40);
        QCOMPARE(o.value(QStringLiteral("slot")).toInt(), 1);
        QCOMPARE(o.value(QStringLiteral("model")).toInt(), 4);
        QCOMPARE(o.value(QStringLiteral("port")).toString(), QStringLiteral("COM6 (/dev/fake6)"));
    }

    // A missing or busy port, a silent device, a bad bitmap, a lost line:
    // one line on stderr, its exit code, and nothing sent that is not told.
    void failuresExitWithTheirCode()
    {
        auto run = runCli({QStringLiteral("--port"), QStringLiteral("7"), QStringLiteral("status")});
        QCOMPARE(run->exit, int(CliArguments::PortProblem));
        QCOMPARE(run->err, QStringLiteral("quillon-cli: there is no serial port at COM7\n"));

        run = runCli({QStringLiteral("take"), QStringLiteral("on")}, true,
                     [](CoreFixture &f) { f.port.failing.insert(Port, SerialPort::InUse); });
        QCOMPARE(run->exit, int(CliArguments::PortProblem));
        QVERIFY2(run->err.contains(QStringLiteral("COM6 (/dev/fake6) is in use")), qPrintable(run->err));
        QCOMPARE(run->err.count(QLatin1Char('\n')), 1);

        run = runCli({QStringLiteral("take"), QStringLiteral("on")}, false);
        QCOMPARE(run->exit, int(CliArguments::DeviceProblem));
        QVERIFY2(run->err.startsWith(QStringLiteral("quillon-cli: no reply from the device on COM6")),
                 qPrintable(run->err));
        QVERIFY(!run->f.port.writes.contains("AT1"));

        BitmapMaker colour;
        colour.bitsPerPixel = 8;
        run = runCli({QStringLiteral("download"), writeBitmap(colour.bytes(), QStringLiteral("colour.bmp"))});
        QCOMPARE(run->exit, int(CliArguments::FileProblem));
        QVERIFY(run->err.contains(QStringLiteral("is not a 256 x 32 or 256 x 64 monochrome bitmap")));
        QVERIFY(run->f.port.opened.isEmpty());

        run = runCli({QStringLiteral("upload"), QStringLiteral("/nonexistent-folder/out.bmp")});
        QCOMPARE(run->exit, int(CliArguments::FileProblem));
        QVERIFY(run->f.port.opened.isEmpty());

        run = runCli({QStringLiteral("select"), QStringLiteral("9")});
        QCOMPARE(run->exit, int(CliArguments::Usage));
        QVERIFY(run->err.contains(QStringLiteral("slot 9 is not a slot of this device (1 to 4)")));
    }

    // The running schedule reads its settings again on a change; a file
    // that is gone, unreadable or without a schedule is no new schedule
    // (said once), one with the keys is, even with every sequence off.
    void scheduleRunKeepsTheLastGoodSchedule()
    {
        auto run = runCli({QStringLiteral("schedule"), QStringLiteral("run")}, true, storeSchedule);
        CliJob &job = *run->job;
        const QString fileName = run->f.settings->fileName();
        const auto keeps = [&](const char *what, const std::function<void()> &change) {
            change();
            job.reloadSchedule();
            job.reloadSchedule();
            QVERIFY2(run->f.core->state.schedule[0].Start == 1920, what);
            QVERIFY2(run->err.count(QStringLiteral("the last schedule read runs on")) == 1, what);
            QFile::remove(fileName);
            QDir().rmdir(fileName);
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[FormInit]\nS_Start=\"1920,\"\n");
            file.close();
            job.reloadSchedule(); // the streak ends
            run->err.clear();
        };
        keeps("gone", [&] { QFile::remove(fileName); });
        keeps("a folder in its place", [&] {
            QFile::remove(fileName);
            QDir().mkdir(fileName);
        });
        keeps("not text", [&] {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("[FormInit]\nS_Start=\"\0\xff\xfe", 17));
        });
        keeps("no schedule keys", [&] {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[FormInit]\nComPort=6\n");
        });
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[FormInit]\nS_Start=\"-1,\"\n");
        file.close();
        job.reloadSchedule();
        QCOMPARE(run->f.core->state.schedule[0].Start, -1);

        // With --node the running schedule wakes its node after the link's
        // wake-up, before any switch of its own.
        run = runCli({QStringLiteral("--node"), QStringLiteral("3"), QStringLiteral("schedule"),
                      QStringLiteral("run")});
        QCOMPARE(run->f.port.writes.mid(0, 3), (QList<QByteArray>{"WK,00", "SP", "WK,03"}));
    }

    // Ctrl-C in a download puts TAKE and the fade back before it exits and
    // says what the logo RAM holds; a second one, or a lost line, ends it at
    // once.
    void downloadCutShort_data()
    {
        QTest::addColumn<QByteArray>("after"); // the write the cut follows
        QTest::addColumn<int>("count");        // ... when it has been written this often
        QTest::addColumn<int>("how");          // interruptions; 0: the line is lost
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("told");
        const QString untouched = QStringLiteral("not touched");
        const int interrupted = CliArguments::Interrupted;
        QTest::newRow("settings asked") << QByteArray("ARS") << 2 << 1 << interrupted << untouched;
        QTest::newRow("fastest fade") << QByteArray("AFR\0", 4) << 1 << 1 << interrupted << untouched;
        QTest::newRow("TAKE off") << QByteArray("AT0") << 1 << 1 << interrupted << untouched;
        QTest::newRow("load started")
            << QByteArray("ALD") << 1 << 1 << interrupted << QStringLiteral("went out whole");
        QTest::newRow("twice after the load started")
            << QByteArray("ALD") << 1 << 2 << interrupted << QStringLiteral("partly written");
        QTest::newRow("line lost after the load started")
            << QByteArray("ALD") << 1 << 0 << int(CliArguments::PortProblem)
            << QStringLiteral("hung up. The download was not finished: the logo in the device is partly "
                              "written.");
    }
    void downloadCutShort()
    {
        QFETCH(QByteArray, after);
        QFETCH(int, count);
        QFETCH(int, how);
        QFETCH(int, exit);
        QFETCH(QString, told);
        CliRun run;
        storeCommon(run.f);
        QuillonCore &core = run.f.make();
        CliJob::Output output{[&](const QString &t) { run.out += t; },
                              [&](const QString &t) { run.err += t; }};
        CliJob job(
            core,
            *CliArguments::parse({QStringLiteral("download"), writeBitmap(BitmapMaker{}.bytes())}).request,
            output);
        FakeDevice device{run.f.port};
        job.start();
        run.f.wake();
        device.answer();
        for (int i = 0; i < 100 && run.f.port.writes.count(after) < count; ++i) {
            core.link.tmr_Delay_Timer();
            device.answer();
        }
        QVERIFY(core.download.running());
        const QList<QByteArray> before = run.f.port.writes;
        if (how == 0)
            emit run.f.port.commEvent(SerialPort::LineLost);
        for (int i = 0; i < how; ++i)
            job.interrupt();
        for (int i = 0; i < 200 && !job.done(); ++i)
            core.link.tmr_Delay_Timer();
        QVERIFY(job.done());
        QCOMPARE(job.exitCode(), exit);
        QVERIFY2(run.err.contains(told), qPrintable(run.err));
        if (how != 1)
            return;
        const QList<QByteArray> &w = run.f.port.writes;
        QCOMPARE(w.contains("ALD"), after == "ALD");
        // TAKE as it was (the device said on) and then the fade it had (50)
        // are put back, when anything had changed them.
        if (after != "ARS") {
            QCOMPARE(w.last(), "AFR" + Protocol::byte(PanelValues::fadeByte(50)));
            QCOMPARE(w.lastIndexOf("AT1"), w.size() - 3);
        } else {
            QCOMPARE(w, before);
        }
        QCOMPARE(run.f.port.wire(), w.join());
    }

    void scheduleListAndCheck()
    {
        auto run = runCli({QStringLiteral("schedule"), QStringLiteral("list")}, true, storeSchedule);
        QCOMPARE(run->exit, 0);
        const QStringList lines = run->out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 22); // heading, 20 sequences, the final line end
        QCOMPARE(lines[1].simplified(), QStringLiteral("1 1 8:00:00 8:20:00 0:01:00 0:02:00 Mon"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("2 2 8:00:00 8:20:00 0:01:00 0:02:00 Sun Mon"));
        QCOMPARE(lines[4].simplified(), QStringLiteral("4 - - 0:00:00 0:00:00 0:00:00 (off)"));
        QVERIFY(run->f.port.opened.isEmpty());

        run = runCli({QStringLiteral("schedule"), QStringLiteral("check")}, true, storeSchedule);
        QCOMPARE(run->exit, int(CliArguments::Conflicts));
        QCOMPARE(
            run->out,
            QStringLiteral("Sequence 1 (logo 1) conflicts on Mon\nSequence 2 (logo 2) conflicts on Mon\n"));

        run = runCli({QStringLiteral("schedule"), QStringLiteral("check")});
        QCOMPARE(run->exit, 0);
        QCOMPARE(run->out, QStringLiteral("No conflicts.\n"));
    }
};

QUILLON_TEST_MAIN(TestCli)
#include "tst_cli.moc"
