// SPDX-License-Identifier: GPL-3.0-or-later
#include "reporting/reporter.h"

#include <QTest>

// The error panel: stacking, the five-second hiding, the OK button.
class TestReporter : public QObject
{
    Q_OBJECT

    static void ticks(Reporter &r, int n)
    {
        for (int i = 0; i < n; ++i)
            r.tick();
    }

private slots:
    void reportsPileUpAndHide()
    {
        Reporter r;
        r.ReportError(QStringLiteral("first"), QStringLiteral("StartCom 02"));
        ticks(r, 160); // four seconds later
        r.ReportError(QStringLiteral("second"), QStringLiteral("SendCom"));
        QCOMPARE(r.panelTitle(), QStringLiteral("SendCom"));
        QCOMPARE(r.panelText(), QStringLiteral("first\r\nsecond"));
        ticks(r, 199);
        QVERIFY(r.panelVisible());
        ticks(r, 1);
        QVERIFY(!r.panelVisible());
        QCOMPARE(r.errorPanelTicks(), -1);
        r.ReportError(QStringLiteral("third"), QStringLiteral("RecvData"));
        QCOMPARE(r.panelText(), QStringLiteral("third"));
        // OK hides at once; the countdown stops on the next tick.
        r.closePanel();
        QVERIFY(!r.panelVisible());
        QCOMPARE(r.errorPanelTicks(), 0);
        r.tick();
        QCOMPARE(r.errorPanelTicks(), -1);
    }

    void replyCounterWraps()
    {
        Reporter r;
        QCOMPARE(r.replyCount(), QStringLiteral("00000"));
        for (int i = 0; i < 10000; ++i)
            r.countReply();
        QCOMPARE(r.replyCount(), QStringLiteral("0"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestReporter)
#include "tst_reporter.moc"
