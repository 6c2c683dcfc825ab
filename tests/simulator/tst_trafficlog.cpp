#include "simulator/trafficlog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTrafficLog : public QObject
{
    Q_OBJECT
private slots:
    void escape_data();
    void escape();
    void everyByteRoundTrips();
    void linesParseBack();
};

void TestTrafficLog::escape_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("printable") << QByteArray("WK,00") << QByteArray("WK,00");
    QTest::newRow("NULs") << QByteArrayLiteral("AJ05\0\0\0") << QByteArray("AJ05\\x00\\x00\\x00");
    QTest::newRow("blank") << QByteArray("ATN  ") << QByteArray("ATN\\x20\\x20");
    QTest::newRow("line end, high, DEL")
        << QByteArray("\r\n\xff\x7f~!") << QByteArray("\\x0D\\x0A\\xFF\\x7F~!");
    QTest::newRow("backslash") << QByteArray("a\\x41") << QByteArray("a\\x5Cx41");
}

void TestTrafficLog::escape()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    QCOMPARE(TrafficLog::escape(bytes), text);
    QCOMPARE(TrafficLog::unescape(text), bytes);
}

void TestTrafficLog::everyByteRoundTrips()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const QByteArray text = TrafficLog::escape(all);
    QVERIFY(!text.contains('\t') && !text.contains('\n') && !text.contains(' '));
    QCOMPARE(TrafficLog::unescape(text), all);
    // What is no complete escape is kept as it is.
    QCOMPARE(TrafficLog::unescape("\\xZZ\\x-1\\x4"), QByteArray("\\xZZ\\x-1\\x4"));
}

void TestTrafficLog::linesParseBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("traffic.log"));
    TrafficLog log;
    QString error;
    QVERIFY2(log.open(path, &error), qPrintable(error));
    log.event(1000, "open");
    log.bytes(1001, "rx", QByteArrayLiteral("AJ05\0\0\0"));

    // Flushed line by line: readable while the log stays open.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines, (QList<QByteArray> { "1000\t#\topen", "1001\trx\tAJ05\\x00\\x00\\x00", "" }));

    const std::optional<TrafficLog::Entry> rx = TrafficLog::parseLine(lines.at(1));
    QVERIFY(rx);
    QCOMPARE(rx->ms, 1001);
    QCOMPARE(rx->kind, QByteArray("rx"));
    QCOMPARE(rx->bytes, QByteArrayLiteral("AJ05\0\0\0"));
    // Event texts are taken as they are.
    QCOMPARE(TrafficLog::parseLine("7\t#\tsend \\x41")->bytes, QByteArray("send \\x41"));
    QVERIFY(!TrafficLog::parseLine(""));
    QVERIFY(!TrafficLog::parseLine("1000\trx"));
    QVERIFY(!TrafficLog::parseLine("abc\trx\tARS"));
}

QTEST_APPLESS_MAIN(TestTrafficLog)
#include "tst_trafficlog.moc"
