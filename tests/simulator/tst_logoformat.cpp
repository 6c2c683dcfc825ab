#include "simulator/logoformat.h"

#include <QTest>

class TestLogoFormat : public QObject
{
    Q_OBJECT
private slots:
    void bitmapFileLayout();
};

void TestLogoFormat::bitmapFileLayout()
{
    QByteArray logo;
    for (int i = 0; i < 2048; ++i)
        logo += static_cast<char>(i * 7);
    const QByteArray file = LogoFormat::bitmapFile(logo);
    QCOMPARE(file.size(), 2110);
    const QByteArray header = QByteArray::fromHex("424D 3E080000 00000000 3E000000" // file header
                                                  "28000000 00010000 40000000 0100 0100" // 256 x 64, 1 bit
                                                  "00000000 00000000 00000000 00000000 00000000 00000000"
                                                  "00000000 FFFFFF00"); // black, white
    QCOMPARE(file.left(62), header);
    QCOMPARE(file.mid(62), logo); // bottom row first, bytes as stored

    // Whatever comes in, the file has its size.
    QCOMPARE(LogoFormat::bitmapFile(QByteArray()).mid(62), QByteArray(2048, '\0'));
    QCOMPARE(LogoFormat::bitmapFile(logo + logo).size(), 2110);
}

QTEST_APPLESS_MAIN(TestLogoFormat)
#include "tst_logoformat.moc"
