#include "bitmapmaker.h"
#include "corefixture.h"

#include "app/clijob.h"
#include "device_link/diagcommands.h"
#include "ui/filechooser.h"
#include "ui/frmquillon4.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <functional>

namespace {

constexpr int Port = 6;

// A device at the far end of a fake port: it answers the settings and
// copyright requests and the logo request, whoever sends them.
struct FakeDevice {
    FakeSerialPort &port;
    qsizetype seen = 0;
    // mix 99, fade 50, intensity 99, h 94, v 30, TAKE on, on 20, interval 40, slot 1
    QByteArray settings = QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01";

    void answer()
    {
        for (; seen < port.writes.size(); ++seen) {
            const QByteArray &w = port.writes[seen];
            if (w == "ARS")
                port.receive(settings);
            else if (w == "ARC")
                port.receive("(C) 2026 Test QX04 V1.0\r\n");
            else if (w == "ARM") {
                QByteArray stream("\x00\x01SD", 4);
                for (int i = 0; i < 2048; ++i)
                    stream.append(static_cast<char>(i * 7));
                port.receive(stream);
            }
        }
    }
};

class FixedAnswer final : public Prompter
{
public:
    QString text;
    std::optional<QString> ask(const QString &) override { return text; }
};

class FixedChooser final : public FileChooser
{
public:
    QString open;
    QString save;
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return open;
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return save;
    }
};

// The same stored settings for both sides: port 6, a QX-4.
void storeCommon(CoreFixture &f)
{
    f.port.present.insert(Port);
    f.setSetting(QStringLiteral("ComPort"), QString::number(Port));
    f.setSetting(QStringLiteral("Enables_A"), QStringLiteral("DIAG,"));
    f.setSetting(QStringLiteral("Enables_B"), QStringLiteral("1,"));
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
        const QString path = m_files.filePath(name);
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

    // The window on its own fake port, woken, with the device's settings
    // taken in as from a poll; then the action, ticked until done.
    QList<QByteArray> windowTraffic(const std::function<void(FrmQuillon4 &)> &action,
                                    const std::function<bool(FrmQuillon4 &)> &busy = {})
    {
        CoreFixture f;
        storeCommon(f);
        FrmQuillon4 w(*f.settings, f.port, f.clock, FrmQuillon4::Options{{}, false, false});
        FixedChooser chooser;
        chooser.open = m_files.filePath(QStringLiteral("logo.bmp"));
        chooser.save = m_files.filePath(QStringLiteral("window-upload.bmp"));
        w.setFileChooser(&chooser);
        FixedAnswer answer;
        answer.text = m_answer;
        w.setPrompter(&answer);
        for (int i = 0; i < 30; ++i)
            w.core().link.tmrComInit_Timer();
        FakeDevice device{f.port};
        f.port.receive(device.settings);
        for (int i = 0; i < 2; ++i)
            w.core().link.tmr_Delay_Timer();
        f.port.writes.clear();
        action(w);
        for (int i = 0; i < 3000 && busy && busy(w); ++i) {
            device.answer();
            w.core().link.tmr_Delay_Timer();
        }
        device.answer();
        QCoreApplication::processEvents(); // the save of an upload is queued
        return f.port.writes;
    }
    QString m_answer;

    template<typename T> static T *child(FrmQuillon4 &w, const char *name)
    {
        T *found = w.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
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
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answer"); // what the window's Diag question is answered with
        QTest::addColumn<std::function<void(FrmQuillon4 &)>>("action");
        QTest::addColumn<std::function<bool(FrmQuillon4 &)>>("busy");
        using Action = std::function<void(FrmQuillon4 &)>;
        using Busy = std::function<bool(FrmQuillon4 &)>;
        const auto trigger = [](const char *name) {
            return Action([name](FrmQuillon4 &w) { child<QAction>(w, name)->trigger(); });
        };
        const Busy downloading = [](FrmQuillon4 &w) { return w.core().download.running(); };
        const QString bitmap = writeBitmap(BitmapMaker{}.bytes());
        const auto row
            = [](const char *name, const QStringList &args, const QString &answer, const Action &action,
                 const Busy &busy = {}) { QTest::newRow(name) << args << answer << action << busy; };

        row("set fade", {QStringLiteral("set"), QStringLiteral("fade"), QStringLiteral("30")}, {},
            [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrFade")->setValue(30); });
        row("set mix", {QStringLiteral("set"), QStringLiteral("mix"), QStringLiteral("0")}, {},
            [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrMix")->setValue(0); });
        row("set intensity", {QStringLiteral("set"), QStringLiteral("intensity"), QStringLiteral("42")}, {},
            [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrIntensity")->setValue(42); });
        for (const char *box : {"hpos", "vpos"}) {
            const QByteArray name = QByteArray("txt") + QByteArray(box).toUpper();
            row(box, {QStringLiteral("set"), QString::fromLatin1(box), QStringLiteral("37")}, {},
                [name](FrmQuillon4 &w) {
                    auto *edit = child<QLineEdit>(w, name.constData());
                    edit->setText(QStringLiteral("37"));
                    QTest::mouseClick(edit, Qt::LeftButton);
                });
        }
        row("standard pal", {QStringLiteral("standard"), QStringLiteral("pal")}, {},
            [](FrmQuillon4 &w) { child<QRadioButton>(w, "NTSC_PAL1")->click(); });
        row("take toggle", {QStringLiteral("take"), QStringLiteral("toggle")}, {},
            [](FrmQuillon4 &w) { child<QPushButton>(w, "optTAKE")->click(); });
        row("take on", {QStringLiteral("take"), QStringLiteral("on")}, {}, trigger("mnuDiagSub2"));
        row("take off", {QStringLiteral("take"), QStringLiteral("off")}, {}, trigger("mnuDiagSub1"));
        row("select", {QStringLiteral("select"), QStringLiteral("3")}, {},
            [](FrmQuillon4 &w) { child<QRadioButton>(w, "optLOGO3")->click(); });
        row("sleep", {QStringLiteral("sleep")}, {}, trigger("mnuAllNodesSleep"));
        row("wake all", {QStringLiteral("wake")}, {}, trigger("mnuWakeUpAllNodes"));
        row("wake one", {QStringLiteral("wake"), QStringLiteral("12")}, QStringLiteral("12"),
            trigger("mnuDiagSub15"));
        row("set-id", {QStringLiteral("set-id"), QStringLiteral("200")}, QStringLiteral("200"),
            trigger("mnuSetIDtoCurrentNode"));
        row("copyright", {QStringLiteral("copyright")}, {}, trigger("mnuCopyright"));
        const auto download = [](bool negative) {
            return Action([negative](FrmQuillon4 &w) {
                child<QAction>(w, "mnuOpenLogoFile")->trigger();
                if (negative)
                    child<QCheckBox>(w, "NEGATE")->click();
                child<QAction>(w, "mnuDownloadLogotoRam")->trigger();
            });
        };
        row("download", {QStringLiteral("download"), bitmap}, {}, download(false), downloading);
        row("download negative", {QStringLiteral("download"), bitmap, QStringLiteral("--negative")}, {},
            download(true), downloading);
        row("store-logo", {QStringLiteral("store-logo")}, {}, trigger("mnuSaveLogoinNVRAM"), downloading);
        row("upload", {QStringLiteral("upload"), m_files.filePath(QStringLiteral("cli-upload.bmp"))}, {},
            trigger("mnuUpLoadLogo"), [](FrmQuillon4 &w) { return w.core().state.uploadPending; });
    }

    void commandsSendWhatTheWindowSends()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        QFETCH(std::function<void(FrmQuillon4 &)>, action);
        QFETCH(std::function<bool(FrmQuillon4 &)>, busy);

        const auto cli = runCli(arguments);
        QCOMPARE(cli->exit, 0);
        QVERIFY2(cli->err.isEmpty(), qPrintable(cli->err));
        QList<QByteArray> sent = cli->f.port.writes;
        // The start: the link's wake-up of every node, and the check.
        QCOMPARE(sent.value(0), QByteArray("WK,00"));
        sent.removeFirst();
        const CliRequest request = *CliArguments::parse(arguments).request;
        if (request.checksDevice()) {
            QCOMPARE(sent.value(0), QByteArray("ARS"));
            sent.removeFirst();
        } else if (request.command == CliRequest::Command::Wake) {
            QCOMPARE(sent.value(sent.size() - 1), QByteArray("ARS"));
            sent.removeLast();
        }

        m_answer = answer;
        const QList<QByteArray> window = windowTraffic(action, busy);
        QVERIFY(!window.isEmpty());
        QCOMPARE(sent, window);

        if (request.command == CliRequest::Command::Upload) {
            QFile mine(request.file);
            QFile theirs(m_files.filePath(QStringLiteral("window-upload.bmp")));
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

    void lineLostInADownloadIsTold()
    {
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
        for (int i = 0; i < 40 && !run.f.port.writes.contains("ALD"); ++i) {
            core.link.tmr_Delay_Timer();
            device.answer();
        }
        QVERIFY(core.download.running());
        emit run.f.port.commEvent(SerialPort::LineLost);
        QVERIFY(job.done());
        QCOMPARE(job.exitCode(), int(CliArguments::PortProblem));
        QVERIFY2(run.err.contains(QStringLiteral("Line lost on COM6")), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("the logo in the device is incomplete")));
    }

    void scheduleListAndCheck()
    {
        const auto withSchedule = [](CoreFixture &f) {
            // Sequences 1 and 2 overlap on Mondays (mask 2) from 08:00 on;
            // sequence 3 stands alone on Sundays.
            f.setSetting(QStringLiteral("S_Start"),
                         QStringLiteral("1920,1920,2400,") + QStringLiteral("-1,").repeated(17));
            f.setSetting(QStringLiteral("S_End"),
                         QStringLiteral("2000,2000,2480,") + QStringLiteral("0,").repeated(17));
            f.setSetting(QStringLiteral("S_ON"),
                         QStringLiteral("4,4,4,") + QStringLiteral("0,").repeated(17));
            f.setSetting(QStringLiteral("S_OFF"),
                         QStringLiteral("8,8,8,") + QStringLiteral("0,").repeated(17));
            f.setSetting(QStringLiteral("S_Logo"),
                         QStringLiteral("1,2,3,") + QStringLiteral("0,").repeated(17));
            f.setSetting(QStringLiteral("S_Days"),
                         QStringLiteral("2,3,1,") + QStringLiteral("0,").repeated(17));
        };
        auto run = runCli({QStringLiteral("schedule"), QStringLiteral("list")}, true, withSchedule);
        QCOMPARE(run->exit, 0);
        const QStringList lines = run->out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 22); // heading, 20 sequences, the final line end
        QCOMPARE(lines[1].simplified(), QStringLiteral("1 1 8:00:00 8:20:00 0:01:00 0:02:00 Mon"));
        QCOMPARE(lines[2].simplified(), QStringLiteral("2 2 8:00:00 8:20:00 0:01:00 0:02:00 Sun Mon"));
        QCOMPARE(lines[4].simplified(), QStringLiteral("4 - - 0:00:00 0:00:00 0:00:00 (off)"));
        QVERIFY(run->f.port.opened.isEmpty());

        run = runCli({QStringLiteral("schedule"), QStringLiteral("check")}, true, withSchedule);
        QCOMPARE(run->exit, int(CliArguments::Conflicts));
        QCOMPARE(
            run->out,
            QStringLiteral("Sequence 1 (logo 1) conflicts on Mon\nSequence 2 (logo 2) conflicts on Mon\n"));

        run = runCli({QStringLiteral("schedule"), QStringLiteral("check")});
        QCOMPARE(run->exit, 0);
        QCOMPARE(run->out, QStringLiteral("No conflicts.\n"));
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
