// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "panel/panelvalues.h"
#include "panel/previewcolours.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// The control panel's rules: the position boxes, the standard buttons, the
// lock and the preview colours; the logo slots and model types: what a
// selection sends, stores and shows.
class TestPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    QList<QByteArray> typeInto(bool horizontal, const QString &text)
    {
        f->port.writes.clear();
        core().panel.setPositionText(horizontal, text);
        core().panel.enterPosition(horizontal);
        return f->port.writes;
    }

    QList<int> visibleButtons() const
    {
        QList<int> visible;
        for (int j = 1; j <= 15; ++j)
            if (f->core->logoState.slotButtonOffered[static_cast<size_t>(j)])
                visible << j;
        return visible;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
    }

    // A typed percentage, clamped, is sent and places the preview.
    void positionBoxes_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<int>("standard");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("placed");
        const auto row = [](const char *name, bool horizontal, int standard, const char *typed,
                            const char *shown, const char *sent, int placed) {
            QTest::newRow(name) << horizontal << standard << QString::fromLatin1(typed)
                                << QString::fromLatin1(shown) << QByteArray(sent) << placed;
        };
        row("H 50 NTSC", true, 0, "50", "50", "AHP5E", 2070);
        row("H 50 PAL", true, 1, "50", "50", "AHP7C", 2070);
        row("H 150 clamps", true, 0, "150", "100", "AHP9A", 4080);
        row("H -5 clamps", true, 0, "-5", "0", "AHP22", 60);
        row("H 33 cuts", true, 0, "33", "33", "AHP49", 1386);
        row("V 75 PAL half to even", false, 1, "75", "75", "AVP34", 2400);
        row("V 50 NTSC half to even", false, 0, "50", "50", "AVP1E", 1680);
        row("V 12.5 rounds to even", false, 0, " 12.5 ", "12", "AVP0A", 586);
        // The ends of the ranges.
        row("H 0 PAL", true, 1, "0", "0", "AHP2A", 60);
        row("H 100 PAL", true, 1, "100", "100", "AHPCE", 4080);
        row("V 0 NTSC", false, 0, "0", "0", "AVP04", 240);
        row("V 100 NTSC", false, 0, "100", "100", "AVP37", 3120);
        row("V 0 PAL", false, 1, "0", "0", "AVP06", 240);
        row("V 100 PAL", false, 1, "100", "100", "AVP44", 3120);
    }

    void positionBoxes()
    {
        QFETCH(bool, horizontal);
        QFETCH(int, standard);
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        core().panelState.standard = standard;
        QCOMPARE(typeInto(horizontal, typed), QList<QByteArray>{sent});
        const PanelState &p = core().panelState;
        QTEST(horizontal ? p.hposText : p.vposText, "shown");
        QTEST(horizontal ? p.previewLeft : p.previewTop, "placed");
    }

    void positionBoxRefusals()
    {
        QSignalSpy beeps(&core().panel, &PanelController::beepRequested);
        QVERIFY(typeInto(false, QStringLiteral("ab")).isEmpty() && beeps.count() == 1);
        QCOMPARE((QStringList{core().panelState.vposText, core().reporter.panelTitle(),
                              core().reporter.panelText()}),
                 (QStringList{u"0"_s, u"txtVPOS"_s, u"Allowable Range 0 to 100%"_s}));

        core().reporter.closePanel();
        QVERIFY(typeInto(true, QString()).isEmpty() && beeps.count() == 2 && !core().reporter.panelVisible());

        QVERIFY(typeInto(true, QStringLiteral("x")).isEmpty());
        QCOMPARE(core().reporter.panelText() + core().panelState.hposText, u"Allowable Range 34 to 154  0"_s);

        core().reporter.closePanel();
        QVERIFY(typeInto(true, QStringLiteral("40000")).isEmpty());
        QCOMPARE(core().reporter.panelTitle() + core().panelState.hposText, u"txtHPOS40000"_s);
    }

    void dragIsThrottledAndLocked()
    {
        f->port.writes.clear();
        core().panel.startDrag(0, 0);
        core().panel.dragTo(100, 100);
        core().panel.dragTo(200, 200);
        QCOMPARE(f->port.writes.size(), 2); // the second move came within three ticks
        f->ticks(3);
        core().panel.dragTo(300, 300);
        QCOMPARE(f->port.writes.size(), 4);
        // Beyond the corner: the position boxes' ends, vertical first.
        f->ticks(3);
        core().panel.dragTo(-10000, -10000);
        QCOMPARE(f->port.writes.mid(4), (QList<QByteArray>{"AVP04", "AHP22"}));
        QVERIFY(core().panelState.hposText + core().panelState.vposText == u"00"_s
                && core().panelState.previewLeft == 60);
        core().panel.endDrag();

        core().panel.toggleLock();
        f->ticks(3);
        const int left = core().panelState.previewLeft;
        core().panel.startDrag(0, 0);
        core().panel.dragTo(2000, 2000);
        QVERIFY(f->port.writes.size() == 6 && core().panelState.previewLeft == left);
    }

    void paintBrushStartsOneEditor()
    {
        QStringList tried;
        QStringList arguments;
        core().paint.setStarter([&](const QString &program, const QStringList &args) {
            tried << program;
            arguments = args;
            return program == QLatin1String("pinta") || program == QLatin1String("gimp");
        });
        core().logoState.slotFile[1] = QStringLiteral("/tmp/some logo.bmp");
        qputenv("QUILLON_PAINT", "my-editor");
        QCOMPARE(core().paint.editInPaint(), QStringLiteral("pinta"));
        QCOMPARE(tried, (QStringList{QStringLiteral("my-editor"), QStringLiteral("kolourpaint"),
                                     QStringLiteral("pinta")}));
        QCOMPARE(arguments, QStringList{QStringLiteral("/tmp/some logo.bmp")});
        qunsetenv("QUILLON_PAINT");
    }

    // The standard, the lock and the show menus are stored; only the
    // standard sends (its bytes: tst_cli; the time labels: tst_protocol).
    void switchesAreStored()
    {
        const auto stored = [this](const char *key) { return f->setting(QString::fromLatin1(key)); };
        core().panel.setStandard(1);
        QCOMPARE(stored("NTSC_PAL"), QStringLiteral("1"));
        f->port.writes.clear();
        for (const char *value : {"True", "False"}) {
            core().panel.toggleLock();
            QCOMPARE(core().panelState.locked, value == QByteArray("True"));
            QCOMPARE(stored("PanelLock"), QString::fromLatin1(value));
        }
        core().panel.toggleShowMode(1);
        QVERIFY(core().panelState.showMix && stored("ShowMix") == u"True"_s);
        // Fade no longer shown: the preview is visible again.
        core().panelState.showFade = true;
        core().panelState.previewVisible = false;
        core().panel.toggleShowMode(2);
        QVERIFY(core().panelState.previewVisible && stored("ShowFade") == u"False"_s
                && f->port.writes.isEmpty());
    }

    // The preview colours from mix and intensity; the sliders and the
    // negative recolour the view.
    void previewColours()
    {
        using PC = PreviewColours;
        QVERIFY(PC::blend(0, 0, false, false) == (Rgb{255, 255, 255})
                && PC::blend(99, 0, true, true) == (Rgb{0, 0, 3})
                && PC::blend(50, 50, true, true) == (Rgb{64, 64, 191}));
        core().panelState.showMix = true;
        core().panel.setMix(0);
        QCOMPARE(core().panelState.viewColours.foreground, (Rgb{0, 0, 255}));
        core().panel.setNegative(true);
        QVERIFY(core().panelState.viewColours.background == (Rgb{0, 0, 255})
                && core().panelState.fullViewColours.foreground == (Rgb{0, 0, 224}));

        // A running schedule on a platform below 2 leaves the colours alone.
        core().scheduleState.on = true;
        core().deviceState.platformCode = 1;
        core().panel.setMix(99);
        QCOMPARE(core().panelState.viewColours.background, (Rgb{0, 0, 255}));
    }

    // A slot is sent once and stored; slots outside the model are refused.
    void selectingSendsOnceAndStores()
    {
        core().slotControl.selectSlot(3);
        f->port.writes.clear();
        for (int slot : {3, 5, 0, 4})
            core().slotControl.selectSlot(slot);
        QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("AJ04\0\0\0", 7)});
        QVERIFY(f->setting(u"LogoSelect"_s) == u"4"_s && core().logoState.currentSlot == 4
                && core().logoState.slotChosen[4] && !core().logoState.slotChosen[3]);
    }

    // The model menu: "auto" (0) and models that do not exist mean one logo;
    // the entry is stored, nothing is sent (the title: tst_frmquillon4). The slot buttons show the
    // selected slot's group of four.
    void modelMenuAndSlotGroups()
    {
        const auto choose = [this](int chosen, int model, const char *stored) {
            core().slotControl.chooseModel(chosen);
            QCOMPARE(core().deviceState.modelNumber, model);
            QVERIFY(!core().logoState.slotOffered[static_cast<size_t>(model + 1)]);
            QCOMPARE(f->setting(QStringLiteral("QX_Model")), QString::fromLatin1(stored));
        };
        choose(7, 7, "7");
        QVERIFY(core().deviceState.modelChosen[7] && !core().deviceState.modelChosen[4]);
        choose(0, 1, "0");
        QVERIFY(core().deviceState.modelChosen[0]);
        choose(5, 1, "1");
        QVERIFY(core().deviceState.modelChosen[1] && f->port.writes.isEmpty());

        core().slotControl.chooseModel(15);
        core().slotControl.selectSlot(6);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7, 8}));
        core().slotControl.selectSlot(13);
        QCOMPARE(visibleButtons(), (QList<int>{13, 14, 15}));
        core().slotControl.chooseModel(7);
        core().slotControl.selectSlot(5);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7}));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestPanel)
#include "tst_panel.moc"
