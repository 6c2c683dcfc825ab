// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include "cli/cliarguments.h"
#include "cli/clijob.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int Port = 6;

// A device at the far end of a fake port: it answers ARS, ARC and ARM.
struct FakeDevice {
    FakeSerialPort &port;
    // mix 99, fade 50, intensity 99, h 94, v 30, TAKE on, on 20, interval 40, slot 1
    QByteArray settings = QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01";
    QByteArray logo = [] { // an uploaded logo
        QByteArray stream("\x00\x01SD", 4);
        for (int i = 0; i < 2048; ++i)
            stream.append(static_cast<char>(i * 7));
        return stream;
    }();
    qsizetype seen = 0;

    void answer()
    {
        for (; seen < port.writes.size(); ++seen) {
            const QByteArray &w = port.writes[seen];
            if (w == "ARS")
                port.receive(settings);
            else if (w == "ARC")
                port.receive("(C) 2026 Test QX04 V1.0\r\n");
            else if (w == "ARM")
                port.receive(logo);
        }
    }
};

QStringList words(const QString &line)
{
    return line.isEmpty() ? QStringList() : line.split(u' ');
}

// Logo lines on the wire: each byte of `fills` (in hex) repeated over a line.
QByteArray lines(const char *fills)
{
    QByteArray out;
    for (const char fill : QByteArray::fromHex(fills))
        out += QByteArray(32, fill);
    return out;
}

void storeSchedule(CoreFixture &f)
{
    // Sequences 1 and 2 overlap on Mondays (mask 2) from 08:00, 3 is alone on Sundays.
    const auto list = [&f](const QString &key, const QString &first, const char *rest) {
        f.setSetting(key, first + QString::fromLatin1(rest).repeated(17));
    };
    list(u"S_Start"_s, u"1920,1920,2400,"_s, "-1,");
    list(u"S_End"_s, u"2000,2000,2480,"_s, "0,");
    list(u"S_ON"_s, u"4,4,4,"_s, "0,");
    list(u"S_OFF"_s, u"8,8,8,"_s, "0,");
    list(u"S_Logo"_s, u"1,2,3,"_s, "0,");
    list(u"S_Days"_s, u"2,3,1,"_s, "0,");
}

} // namespace

// quillon-cli's job on a fake port: its answers, its exit codes, and for
// every command the very bytes it puts on the line.
class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    // Writes a file into the test folder (or at an absolute path) and returns its path.
    QString writeFile(const QByteArray &bytes, const QString &name = u"logo.bmp"_s)
    {
        QFile file(QDir(m_files.path()).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    struct CliRun {
        CoreFixture f;
        std::unique_ptr<CliJob> job;
        QString out;
        QString err;
        int exit = -1;
    };

    // Runs a command line through a job on a fake port with the fake device
    // (or a silent one) and returns when the job is done (or pauseWhen holds).
    std::unique_ptr<CliRun> runCli(const QStringList &arguments, bool deviceAnswers = true,
                                   const std::function<void(CoreFixture &)> &prepare = {},
                                   const std::function<bool(const CoreFixture &)> &pauseWhen = {})
    {
        auto run = std::make_unique<CliRun>();
        const CliArguments::Parsed parsed = CliArguments::parse(arguments);
        if (!parsed.request) { // as quillon-cli's main says it
            run->err = parsed.error + u'\n';
            run->exit = OperationExit::Usage;
            return run;
        }
        run->f.port.present.insert(Port); // port 6, a QX-4
        run->f.setSetting(u"ComPort"_s, QString::number(Port));
        run->f.setSetting(u"Enables_A"_s, u"DIAG,"_s);
        run->f.setSetting(u"Enables_B"_s, u"1,"_s);
        if (prepare)
            prepare(run->f);
        QuillonCore &core = run->f.make();
        CliJob::Output output;
        output.out = [r = run.get()](const QString &text) { r->out += text; };
        output.err = [r = run.get()](const QString &text) { r->err += text + u'\n'; };
        run->job = std::make_unique<CliJob>(core, *parsed.request, output);
        connect(run->job.get(), &CliJob::finished, this, [r = run.get()](int code) { r->exit = code; });
        FakeDevice device{run->f.port};
        run->job->start();
        for (int i = 0; i < 3030 && !run->job->done() && !(pauseWhen && pauseWhen(run->f)); ++i) {
            if (i < 30)
                core.link.wakeUpTick();
            else
                core.link.tick();
            if (deviceAnswers)
                device.answer();
        }
        return run;
    }

private slots:
    // Every command line run to its end: its exit code, what it says (on
    // stdout or, for a failure, as one line on stderr) and the exact bytes it
    // puts on the line, after the link's wake-up and (for the commands that
    // need an answer) the settings request. The window sends the same for
    // the same action: both call the core's DeviceOperations.
    void commandLines_data()
    {
        QTest::addColumn<QString>("line"); // {bitmap}, {colour}: logos, the 2nd 8-bit; {upload}: new file
        QTest::addColumn<int>("fault");    // 1: the port in use, 2: a silent device, 3: the schedule stored
        QTest::addColumn<int>("exit");
        QTest::addColumn<QByteArray>("wire"); // null: anything but TAKE on
        QTest::addColumn<QStringList>("told");
        using enum OperationExit::Code;
        const QByteArray start = "WK,00ARS";
        // The logo lines of BitmapMaker's default bitmap: odd rows from the top, then even rows.
        const QByteArray logo = lines("3f3d3b39373533312f2d2b29272523211f1d1b19171513110f0d0b0907050301"
                                      "403e3c3a38363432302e2c2a28262422201e1c1a18161412100e0c0a08060402");
        const QByteArray negative = lines("c0c2c4c6c8caccced0d2d4d6d8dadcdee0e2e4e6e8eaeceef0f2f4f6f8fafcfe"
                                          "bfc1c3c5c7c9cbcdcfd1d3d5d7d9dbdddfe1e3e5e7e9ebedeff1f3f5f7f9fbfd");
        const QByteArray download = start + QByteArray("ARSAFR\0AT0ALD", 13);
        const auto row = [](const char *line, const QByteArray &wire, const QStringList &told = {},
                            int exit = 0, int fault = 0) {
            static const char *const faults[]{"", " (port in use)", " (silent device)", " (schedule stored)"};
            QTest::addRow("%s%s", *line ? line : "(nothing)", faults[fault])
                << QString::fromLatin1(line) << fault << exit << wire << told;
        };
        row("set fade 30", start + "AFRF");
        row("set mix 0", start + "AFLd");
        row("set intensity 42", start + "AIR*");
        row("set hpos 37", start + "AHP4E");
        row("set vpos 37", start + "AVP17");
        row("set on-time 20", start + "APA\x14");
        row("set interval 40", start + "API(");
        row("take toggle", start + "ATT");
        row("take on", start + "AT1");
        row("take off", start + "AT0");
        row("select 3", start + QByteArray("AJ03\0\0\0", 7));
        row("set-id 1", start + "ANI,01");
        row("copyright", start + "ARC", {u"(C) 2026 Test QX04 V1.0"_s});
        row("download {bitmap}", download + logo + "AT1AFR2AFR2");
        row("download {bitmap} --negative", download + negative + "AT1AFR2AFR2");
        row("store-logo", start + "ASIARCARS");
        row("upload {upload}", start + "ARM");
        row("standard pal", start + "ATP" + QByteArray(10, ' '));
        row("standard ntsc", start + "ATN" + QByteArray(10, ' '));
        row("wake 1", "WK,00SPWK,01ARS");
        row("wake", "WK,00WK,00ARS");
        row("sleep", "WK,00SP");
        row("status", start,
            {u"\"fade\": 50"_s, u"\"mix\": 99"_s, u"\"hpos\": 50"_s, u"\"vpos\": 51"_s, u"\"take\": true"_s,
             u"\"on_time_text\": \"0:05:00\""_s, u"\"interval\": 40"_s, u"\"slot\": 1"_s, u"\"model\": 4"_s,
             u"\"port\": \"COM6 (/dev/fake6)\""_s});
        // The schedule is read without the port.
        row("schedule list", "",
            {u"1 1 8:00:00 8:20:00 0:01:00 0:02:00 Mon 2 2 8:00:00 8:20:00 0:01:00 0:02:00 Sun Mon"_s,
             u"20 - - 0:00:00 0:00:00 0:00:00 (off)"_s},
            0, 3);
        row("schedule check", "",
            {u"Sequence 1 (logo 1) conflicts on Mon Sequence 2 (logo 2) conflicts on Mon"_s}, Conflicts, 3);
        row("schedule check", "", {u"No conflicts."_s});
        // Failures: a missing or busy port, a silent device, a bad file, a slot the device lacks.
        row("--port 7 status", "", {u"quillon-cli: there is no serial port at COM7"_s}, PortProblem);
        row("take on", "", {u"COM6 (/dev/fake6) is in use"_s}, PortProblem, 1);
        row("take on", {}, {u"quillon-cli: no reply from the device on COM6"_s}, DeviceProblem, 2);
        row("download {colour}", "", {u"is not a 256 x 32 or 256 x 64 monochrome bitmap"_s}, FileProblem);
        row("upload /nonexistent-folder/out.bmp", "", {u"quillon-cli: "_s}, FileProblem);
        row("select 9", "", {u"slot 9 is not a slot of this device (1 to 4)"_s}, Usage);
        // Arguments quillon-cli refuses before it starts.
        row("", "", {u"no command"_s}, Usage);
        row("dance", "", {u"unknown command \"dance\""_s}, Usage);
        row("--fast status", "", {u"unknown option --fast"_s}, Usage);
        row("--port 3 --device /dev/x status", "", {u"not both"_s}, Usage);
        row("--device  status", "", {u"--device needs a path"_s}, Usage);
        row("--port 5 --device \t status", "", {u"--device needs a path"_s}, Usage);
        row("--port 256 status", "", {u"--port must be"_s}, Usage);
        row("status --port", "", {u"--port needs a value"_s}, Usage);
        row("set fade 0", "", {u"fade must be a whole number from 1 to 100"_s}, Usage);
        row("set mix 5x", "", {u"not \"5x\""_s}, Usage);
        row("set speed 5", "", {u"not \"speed\""_s}, Usage);
        row("take maybe", "", {u"on, off or toggle"_s}, Usage);
        row("standard secam", "", {u"ntsc or pal"_s}, Usage);
        row("download", "", {u"needs more arguments"_s}, Usage);
        row("status now", "", {u"takes no argument \"now\""_s}, Usage);
        row("upload x.bmp --negative", "", {u"--negative belongs to download"_s}, Usage);
        row("schedule", "", {u"list, check or run"_s}, Usage);
        row("set-id 0", "", {u"from 1 to 255"_s}, Usage);
        row("--node 2 wake", "", {u"wake ID"_s}, Usage);
        row("set --help", "", {u"Usage: quillon-cli"_s}); // anywhere
    }

    void commandLines()
    {
        QFETCH(QString, line);
        QFETCH(int, fault);
        QFETCH(int, exit);
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, told);
        BitmapMaker colour;
        colour.bitsPerPixel = 8;
        const QString upload = m_files.filePath(u"cli-upload.bmp"_s);
        QFile::remove(upload);
        line.replace(u"{bitmap}"_s, writeFile(BitmapMaker{}.bytes()))
            .replace(u"{colour}"_s, writeFile(colour.bytes(), u"colour.bmp"_s))
            .replace(u"{upload}"_s, upload);
        const auto run = runCli(words(line), fault != 2, [fault](CoreFixture &f) {
            if (fault == 1)
                f.port.failing.insert(Port, SerialPort::InUse);
            if (fault == 3)
                storeSchedule(f);
        });
        QCOMPARE(run->exit, exit);
        QVERIFY2(run->err.count(u'\n')
                     == (exit == OperationExit::Ok || exit == OperationExit::Conflicts ? 0 : 1),
                 qPrintable(run->err));
        if (wire.isNull())
            QVERIFY(!run->f.port.writes.contains("AT1"));
        else
            QCOMPARE(run->f.port.wire(), wire);
        QVERIFY(exit != OperationExit::FileProblem || run->f.port.opened.isEmpty());
        const QString said = run->out.simplified() + u'\n' + run->err;
        for (const QString &piece : told)
            QVERIFY2(said.contains(piece), qPrintable(said));
        if (QFile::exists(upload)) {
            // The stream FakeDevice sends, as a bitmap file.
            QFile file(upload);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex(),
                     "7e442d52830b0911d3c459d0c37a760f7d249fbe");
        }
    }

    // The running schedule reads its settings again on a change; a file
    // that is gone, unreadable or without a schedule is no new schedule
    // (said once, and again after a good read), one with the keys is, even
    // with every sequence off. With --node it wakes its node first.
    void scheduleRunKeepsTheLastGoodSchedule_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: gone; "/": a folder in its place
        QTest::addColumn<int>("start");       // the first sequence's start then
        QTest::newRow("gone") << QByteArray() << 1920;
        QTest::newRow("a folder in its place") << QByteArray("/") << 1920;
        QTest::newRow("not text") << QByteArray("[FormInit]\nS_Start=\"\0\xff\xfe", 17) << 1920;
        QTest::newRow("no schedule keys") << QByteArray("[FormInit]\nComPort=6\n") << 1920;
        QTest::newRow("every sequence off") << QByteArray("[FormInit]\nS_Start=\"-1,\"\n") << -1;
    }
    void scheduleRunKeepsTheLastGoodSchedule()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, start);
        const auto run = runCli(words(u"--node 3 schedule run"_s), true, storeSchedule);
        QCOMPARE(run->f.port.writes.mid(0, 3), (QList<QByteArray>{"WK,00", "SP", "WK,03"}));
        const QString fileName = run->f.settings->fileName();
        for (int streak = 1; streak <= 2; ++streak) {
            QFile::remove(fileName);
            if (file == "/")
                QDir().mkdir(fileName);
            else if (!file.isNull())
                writeFile(file, fileName);
            run->job->reloadSchedule();
            run->job->reloadSchedule();
            QCOMPARE(run->f.core->scheduleState.schedule[0].Start, start);
            QCOMPARE(run->err.count(u"the last schedule read runs on"_s), start < 0 ? 0 : streak);
            QDir().rmdir(fileName);
            writeFile("[FormInit]\nS_Start=\"1920,\"\n", fileName);
            run->job->reloadSchedule(); // the streak ends
        }
    }

    // Ctrl-C in a download puts TAKE and the fade back before it exits and
    // says what the logo RAM holds; a second one, or a lost line, ends it at
    // once.
    void downloadCutShort_data()
    {
        // The cut follows this many writes: WK,00 ARS, then the download's
        // ARS (3), fastest fade (4), TAKE off (5), ALD (6).
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("how"); // interruptions; 0: the line is lost
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("told");
        const int interrupted = OperationExit::Interrupted;
        QTest::newRow("settings asked") << 3 << 1 << interrupted << u"not touched"_s;
        QTest::newRow("fastest fade") << 4 << 1 << interrupted << u"not touched"_s;
        QTest::newRow("TAKE off") << 5 << 1 << interrupted << u"not touched"_s;
        QTest::newRow("load started") << 6 << 1 << interrupted << u"went out whole"_s;
        QTest::newRow("interrupted twice after the load") << 6 << 2 << interrupted << u"partly written"_s;
        QTest::newRow("line lost after the load")
            << 6 << 0 << int(OperationExit::PortProblem)
            << u"hung up. The download was not finished: the logo in the device is partly written."_s;
    }
    void downloadCutShort()
    {
        QFETCH(int, sent);
        QFETCH(int, how);
        QFETCH(int, exit);
        QFETCH(QString, told);
        const auto run = runCli({u"download"_s, writeFile(BitmapMaker{}.bytes())}, true, {},
                                [sent](const CoreFixture &f) { return f.port.writes.size() >= sent; });
        QuillonCore &core = *run->f.core;
        CliJob &job = *run->job;
        QVERIFY(core.download.running());
        const QList<QByteArray> before = run->f.port.writes;
        if (how == 0)
            emit run->f.port.commEvent(SerialPort::LineLost);
        for (int i = 0; i < how; ++i)
            job.interrupt();
        for (int i = 0; i < 200 && !job.done(); ++i)
            core.link.tick();
        QVERIFY(job.done());
        QCOMPARE(job.exitCode(), exit);
        QVERIFY2(run->err.contains(told), qPrintable(run->err));
        if (how != 1)
            return;
        const QList<QByteArray> &w = run->f.port.writes;
        QCOMPARE(w.contains("ALD"), sent == 6);
        // TAKE as it was (the device said on) and then the fade it had (50)
        // are put back, when anything had changed them.
        if (sent > 3) {
            QCOMPARE(w.last(), "AFR" + Protocol::byte(PanelValues::fadeByte(50)));
            QCOMPARE(w.lastIndexOf("AT1"), w.size() - 3);
        } else {
            QCOMPARE(w, before);
        }
        QCOMPARE(run->f.port.wire(), w.join());
    }
};

QUILLON_TEST_MAIN(TestCli)
#include "tst_cli.moc"
