// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "simwindow.h"

#include <QEventLoop>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {
constexpr int Port = 7;

// CPU seconds this process has used so far.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

// The real window against a misbehaving device: noise on the line, the line
// hung up in the middle of logo downloads or for long. (Replies in pieces
// are tst_linkcycles'.)
class TestFaults : public QObject
{
    Q_OBJECT

    SimWindow w;

    QuillonCore &core() { return w.core(); }
    bool downloadEnabled() { return w.action("mnuDownloadLogotoRam")->isEnabled(); }
    // The length of every settings reply the link has read, as its reply
    // strip showed it (noise before the reply's letter is not shown).
    QList<int> m_replies;
    QString m_replyCount;
    void recordReply()
    {
        const Reporter &reporter = core().reporter;
        if (reporter.replyCount() == m_replyCount || !reporter.diagReply().startsWith(QStringLiteral("QX ")))
            return;
        m_replyCount = reporter.replyCount();
        m_replies.append(int(reporter.diagReply().count(QLatin1Char(','))) + 1);
    }
    bool replySeen(int length, qsizetype from, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return m_replies.mid(from).contains(length); }, timeoutMs);
    }
    bool waitForPolls(int more) { return w.sim->waitForReceived("ARS", 15000, w.count("rx", "ARS") + more); }

private slots:
    void initTestCase()
    {
        BitmapMaker maker;
        maker.seed = 11;
        const QString logo = w.config.filePath(QStringLiteral("logo.bmp"));
        QVERIFY(writeFile(logo, maker.bytes()));
        QVERIFY(w.open(Port, {{QStringLiteral("ShowReply"), QStringLiteral("True")},
                              {QStringLiteral("BMPpath1"), logo}}));
        connect(&core().reporter, &Reporter::changed, this, &TestFaults::recordReply);
        QTRY_VERIFY_WITH_TIMEOUT(downloadEnabled(), 15000);
        QVERIFY(replySeen(13, 0));
    }

    void cleanupTestCase() { w.close(); }

    // QUILLON_FAULTS=others runs all but the hang-ups, hangups-a/-b half of them each.
    void init()
    {
        const QByteArray which = qgetenv("QUILLON_FAULTS");
        const bool hangups = qstrcmp(QTest::currentTestFunction(), "hangUpsDuringDownloadsEndCleanly") == 0;
        if (which == "others" ? hangups : which.startsWith("hangups") && !hangups)
            QSKIP("run by another faults test");
    }

    void noiseAroundAReplyNeverStallsTheLink_data()
    {
        QTest::addColumn<QByteArray>("place");
        QTest::addColumn<int>("shown");
        QTest::newRow("before") << QByteArray("before") << 13;
        QTest::newRow("inside") << QByteArray("inside") << 20;
        QTest::newRow("after") << QByteArray("after") << 20;
    }

    void noiseAroundAReplyNeverStallsTheLink()
    {
        QFETCH(QByteArray, place);
        QFETCH(int, shown);
        const int mix = w.child<QScrollBar>("hscrMix")->value();
        const int fade = w.child<QScrollBar>("hscrFade")->value();
        const qsizetype from = m_replies.size();
        w.sim->control("garble " + place + " 7 ARS");
        QVERIFY(w.sim->waitForEvent("garble " + place + " 7 ARS", 2000));
        QVERIFY(replySeen(shown, from));
        // The next poll is answered and read as usual.
        const qsizetype garbled = m_replies.size();
        QVERIFY(waitForPolls(1));
        QVERIFY(replySeen(13, garbled));
        QTRY_COMPARE_WITH_TIMEOUT(w.child<QScrollBar>("hscrMix")->value(), mix, 3000);
        QCOMPARE(w.child<QScrollBar>("hscrFade")->value(), fade);
        QVERIFY(core().deviceState.portIndicator == Indicator::Green);
        QVERIFY(downloadEnabled());
    }

    // Twenty downloads cut by a hang-up at pseudo-random moments (a fixed
    // seed, so a failure can be replayed): each ends cleanly, and the line
    // comes back by itself. The tests faults_hangups_a and _b run ten each.
    void hangUpsDuringDownloadsEndCleanly()
    {
        const QByteArray which = qgetenv("QUILLON_FAULTS");
        const int trials = which.startsWith("hangups-") ? 10 : 20;
        QRandomGenerator random(which == "hangups-b" ? 20261207 : 20261206);
        for (int trial = 0; trial < trials; ++trial) {
            // The download's bytes are all on the line after about 2.5 s.
            const int delayMs = int(random.bounded(2500));
            const QByteArray what = "trial " + QByteArray::number(trial) + ", hang-up after "
                                    + QByteArray::number(delayMs) + " ms";
            core().download.start();
            QVERIFY2(core().download.running(), what);
            QTest::qWait(delayMs);
            const int ups = w.count("#", "up");
            w.sim->control("hangup 300");
            QVERIFY2(QTest::qWaitFor([this] { return !core().download.running(); }, 10000), what);
            QVERIFY2(w.sim->waitForEvent("up", 5000, ups + 1), what);
            QVERIFY2(!core().deviceState.transferBusy, what);
            QVERIFY2(!core().reporter.progressVisible(), what);
            // Back on the new line: opened and woken.
            const int wakes = w.count("rx", "WK,00");
            QVERIFY2(w.sim->waitForReceived("WK,00", 10000, wakes + 1), what);
        }
        // And answering again.
        QTRY_VERIFY_WITH_TIMEOUT(downloadEnabled(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(core().deviceState.portIndicator == Indicator::Green, 15000);
    }

    void disconnectedCostsLittleAndRecovers()
    {
        w.sim->control("hangup");
        QTRY_VERIFY_WITH_TIMEOUT(core().deviceState.portIndicator == Indicator::Red, 5000);
        // Only the reopen attempt once a second and the tick run now: far
        // from a core (a busy loop would show as about 100 %).
        const double cpuBefore = cpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(3000, &idle, &QEventLoop::quit);
        idle.exec();
        const double share = (cpuSeconds() - cpuBefore) / 3.0;
        QVERIFY2(share < 0.10, qPrintable(QStringLiteral("CPU share %1").arg(share)));

        w.sim->control("up");
        // The program finds the new line behind the same port number by itself.
        QTRY_COMPARE_WITH_TIMEOUT(w.port->devicePath(Port), w.sim->ptyPath(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(downloadEnabled(), 15000);
    }
};

QUILLON_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
