// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "corefixture.h"

#include "cli/cliarguments.h"
#include "gui/diagcommands.h"
#include "gui/filechooser.h"
#include "gui/frmquillon4.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include <functional>

// What quillon-cli sends is compared with what the window sends for the same
// action through its own controls: the commands, the window's action for
// each, and the window on a fake port to collect its bytes.
namespace WindowTraffic {

// A device at the far end of a fake port: it answers the settings and
// copyright requests and the logo request, whoever sends them.
struct FakeDevice {
    FakeSerialPort &port;
    // mix 99, fade 50, intensity 99, h 94, v 30, TAKE on, on 20, interval 40, slot 1
    QByteArray settings = QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01";
    qsizetype seen = 0;

    void answer()
    {
        for (; seen < port.writes.size(); ++seen) {
            const QByteArray &w = port.writes[seen];
            if (w == "ARS") {
                port.receive(settings);
            } else if (w == "ARC") {
                port.receive("(C) 2026 Test QX04 V1.0\r\n");
            } else if (w == "ARM") {
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

using Action = std::function<void(FrmQuillon4 &)>;
using Busy = std::function<bool(FrmQuillon4 &)>;

// One command line and the same action in the window.
struct Case {
    const char *name;
    QStringList arguments;
    QString answer; // what the window's question is answered with
    Action action;
    Busy busy; // the window is still at it: tick on
};

template<typename T> T *child(FrmQuillon4 &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// bitmap: the file both download; upload: where the command line writes.
inline QList<Case> cases(const QString &bitmap, const QString &upload)
{
    const auto trigger = [](const char *name) {
        return Action([name](FrmQuillon4 &w) { child<QAction>(w, name)->trigger(); });
    };
    const Busy downloading = [](FrmQuillon4 &w) { return w.core().download.running(); };
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    const auto position = [](const char *box) {
        return Action([box](FrmQuillon4 &w) {
            auto *edit = child<QLineEdit>(w, box);
            edit->setText(QStringLiteral("37"));
            QTest::mouseClick(edit, Qt::LeftButton);
        });
    };
    const auto download = [](bool negative) {
        return Action([negative](FrmQuillon4 &w) {
            child<QAction>(w, "mnuOpenLogoFile")->trigger();
            if (negative)
                child<QCheckBox>(w, "NEGATE")->click();
            child<QAction>(w, "mnuDownloadLogotoRam")->trigger();
        });
    };
    return {
        {"set fade",
         words("set fade 30"),
         {},
         [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrFade")->setValue(30); },
         {}},
        {"set mix",
         words("set mix 0"),
         {},
         [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrMix")->setValue(0); },
         {}},
        {"set intensity",
         words("set intensity 42"),
         {},
         [](FrmQuillon4 &w) { child<QScrollBar>(w, "hscrIntensity")->setValue(42); },
         {}},
        {"set hpos", words("set hpos 37"), {}, position("txtHPOS"), {}},
        {"set vpos", words("set vpos 37"), {}, position("txtVPOS"), {}},
        {"take toggle",
         words("take toggle"),
         {},
         [](FrmQuillon4 &w) { child<QPushButton>(w, "optTAKE")->click(); },
         {}},
        {"take on", words("take on"), {}, trigger("mnuDiagSub2"), {}},
        {"take off", words("take off"), {}, trigger("mnuDiagSub1"), {}},
        {"select",
         words("select 3"),
         {},
         [](FrmQuillon4 &w) { child<QRadioButton>(w, "optLOGO3")->click(); },
         {}},
        {"set-id", words("set-id 1"), QStringLiteral("1"), trigger("mnuSetIDtoCurrentNode"), {}},
        {"copyright", words("copyright"), {}, trigger("mnuCopyright"), {}},
        {"download", {QStringLiteral("download"), bitmap}, {}, download(false), downloading},
        {"download negative",
         {QStringLiteral("download"), bitmap, QStringLiteral("--negative")},
         {},
         download(true),
         downloading},
        {"store-logo", words("store-logo"), {}, trigger("mnuSaveLogoinNVRAM"), downloading},
        {"upload",
         {QStringLiteral("upload"), upload},
         {},
         trigger("mnuUpLoadLogo"),
         [](FrmQuillon4 &w) { return w.core().state.uploadPending; }},
        {"standard pal",
         words("standard pal"),
         {},
         [](FrmQuillon4 &w) { child<QRadioButton>(w, "NTSC_PAL1")->click(); },
         {}},
        {"standard ntsc",
         words("standard ntsc"),
         {},
         [](FrmQuillon4 &w) { child<QRadioButton>(w, "NTSC_PAL0")->click(); },
         {}},
        {"wake one", words("wake 1"), QStringLiteral("1"), trigger("mnuDiagSub15"), {}},
        {"wake all", words("wake"), {}, trigger("mnuWakeUpAllNodes"), {}},
        {"sleep", words("sleep"), {}, trigger("mnuAllNodesSleep"), {}},
    };
}

// The window on port `port` of a fake line, with the settings of
// `settingsFile` (when given), woken, the device's settings reply taken in as
// from a poll; then the action, ticked until it is done. Its writes.
inline QList<QByteArray> windowWrites(const Case &c, int port, const QByteArray &settingsReply,
                                      const QString &settingsFile, const QString &bitmap, const QString &save)
{
    CoreFixture f;
    if (!settingsFile.isEmpty()) {
        QSettings stored(settingsFile, QSettings::IniFormat);
        stored.beginGroup(QStringLiteral("FormInit"));
        for (const QString &key : stored.childKeys())
            f.setSetting(key, stored.value(key).toStringList().join(QLatin1Char(',')));
    }
    f.port.present.insert(port);
    f.setSetting(QStringLiteral("ComPort"), QString::number(port));
    // The Diag menu's wake-up then asks for one node, as quillon-cli's does.
    f.setSetting(QStringLiteral("Enables_A"), QStringLiteral("DIAG,"));
    f.setSetting(QStringLiteral("Enables_B"), QStringLiteral("1,"));
    FrmQuillon4 w(*f.settings, f.port, f.clock, FrmQuillon4::Options{{}, false, false});
    FixedChooser chooser;
    chooser.open = bitmap;
    chooser.save = save;
    w.setFileChooser(&chooser);
    FixedAnswer answer;
    answer.text = c.answer;
    w.setPrompter(&answer);
    for (int i = 0; i < 30; ++i)
        w.core().link.wakeUpTick();
    FakeDevice device{f.port, settingsReply};
    f.port.receive(device.settings);
    for (int i = 0; i < 2; ++i)
        w.core().link.tick();
    f.port.writes.clear();
    c.action(w);
    for (int i = 0; i < 3000 && c.busy && c.busy(w); ++i) {
        device.answer();
        w.core().link.tick();
    }
    device.answer();
    QCoreApplication::processEvents(); // the save of an upload is queued
    return f.port.writes;
}

// What quillon-cli puts on the line for a case, given the window's bytes for
// the action: first the link's wake-up of every node and, for the commands
// that need an answer, the settings request; "wake" checks after it wakes.
inline QByteArray cliWire(const Case &c, const QList<QByteArray> &window)
{
    const CliRequest request = *CliArguments::parse(c.arguments).request;
    QByteArray wire = "WK,00";
    if (request.checksDevice())
        wire += "ARS";
    for (const QByteArray &w : window)
        wire += w;
    if (request.command == CliRequest::Command::Wake)
        wire += "ARS";
    return wire;
}

} // namespace WindowTraffic
