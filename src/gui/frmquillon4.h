// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/trafficrecorder.h"
#include "gui/diagcommands.h"
#include "gui/windowstate.h"
#include "session/quilloncore.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class Clock;
class ControlServer;
class RemoteLine;
class DialogPrompter;
class ErrorPanel;
class FileChooser;
class FrmImportImage;
class FrmTraffic;
class LinkTimers;
class LogoView;
class QAction;
class QButtonGroup;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class SerialPort;
class SettingsStore;

// The main window: menus, the control panel, the logo position frame, the
// status and reply strips and the error panel. It draws the core's state and
// hands every user action to the core; it decides nothing itself.
class FrmQuillon4 : public QMainWindow
{
    Q_OBJECT

public:
    struct Options {
        QStringList arguments;   // the command line without the program name
        bool showSplash = true;  // false when this instance took over from another
        bool startTimers = true; // tests drive the ticks by hand
    };

    FrmQuillon4(SettingsStore &settings, SerialPort &port, const Clock &clock, const Options &options,
                QWidget *parent = nullptr);
    ~FrmQuillon4() override;

    QuillonCore &core() { return m_core; }
    WindowState &windowState() { return m_window; }
    // Tests answer the file dialogs through their own chooser.
    void setFileChooser(FileChooser *chooser) { m_chooser = chooser; }
    // Tests answer "Additional Data Needed" through their own prompter.
    void setPrompter(Prompter *prompter) { m_diag.setPrompter(prompter); }
    // Tests look at the as-run log window instead of running it modally.
    void setAsRunDialogHook(std::function<void(QDialog &)> hook) { m_asRunDialogHook = std::move(hook); }
    void showAsRunLog();
    void showTrafficLog();
    void importImage();
    // Tests set the import dialog's choices instead of running it modally.
    void setImportDialogHook(std::function<void(FrmImportImage &)> hook)
    {
        m_importDialogHook = std::move(hook);
    }
    TrafficRecorder &traffic() { return m_traffic; }

    // Draws the core's state into the controls.
    void sync();
    // The control endpoint of the line the window holds.
    ControlServer &control() { return *m_control; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenus();
    void mnuUpLoadLogo_Click();
    void buildControlEndpoint();
    void buildCentral();
    void buildTimers(bool start);
    void wireControls();
    void syncMenus();
    void syncPanel();
    void syncStrips();
    void placeErrorPanel();
    void applyHeight();
    void Form_Unload();

    // Menu handlers.
    void mnuDiagSub_Click(int index);
    void fitReplyStrip(bool shown);
    void mnuDiagTools_Click();
    void openLogoFile();
    void saveLogoDisk();
    void saveUploadedLogo(int slot);
    QString presetFolder() const;
    void mnuAbout_Click();
    void mnuZoomOff_Click();
    void mnuZoomOn_Click();
    void tmrSplash_Timer();

    QuillonCore m_core;
    const Clock &m_clock;
    TrafficRecorder m_traffic;
    Options m_options;
    bool m_syncing = false;
    bool m_unloaded = false;
    FileChooser *m_chooser = nullptr;
    std::unique_ptr<FileChooser> m_dialogs;
    WindowState m_window;
    DiagCommands m_diag;
    std::unique_ptr<DialogPrompter> m_enterData;

    // Timers.
    LinkTimers *m_timers = nullptr;
    ControlServer *m_control = nullptr;
    RemoteLine *m_remote = nullptr;
    QLabel *m_lblControl = nullptr;
    QTimer *m_tmrNextTake = nullptr;
    void syncNextTake();
    QTimer *m_tmrSplash = nullptr;

    // Menus.
    QMenu *m_mnuFile = nullptr;
    QMenu *m_mnuCom = nullptr;
    QMenu *m_mnuLogo = nullptr;
    QMenu *m_mnuType = nullptr;
    QMenu *m_mnuShow = nullptr;
    QMenu *m_mnuSchedule = nullptr;
    QMenu *m_mnuDiag = nullptr;
    QMenu *m_mnuNode = nullptr;
    QMenu *m_mnuHelp = nullptr;
    QAction *m_mnuOpenLogoFile = nullptr;
    QAction *m_mnuImportImage = nullptr;
    std::array<QAction *, 8> m_mnuRecentFile{};
    QAction *m_mnuDownloadLogotoRam = nullptr;
    QAction *m_mnuSaveLogoinNVRAM = nullptr;
    QAction *m_mnuUpLoadLogo = nullptr;
    QAction *m_mnuSaveLogoDisk = nullptr;
    QAction *m_mnuSaveCurrentSettings = nullptr;
    QAction *m_mnuPanelLock = nullptr;
    QAction *m_mnuPaintBrush = nullptr;
    QAction *m_mnuExit = nullptr;
    QMenu *m_mnuZoom = nullptr;
    QAction *m_mnuZoomOff = nullptr;
    QAction *m_mnuZoomOn = nullptr;
    std::array<QAction *, 13> m_mnuCOMsel{};
    std::array<QAction *, 16> m_mnuLogoSel{};
    std::array<QAction *, 32> m_mnuSetQXx{};
    std::array<QAction *, 3> m_mnuShowMode{};
    QAction *m_mnuScheduleView = nullptr;
    QAction *m_mnuScheduleLock = nullptr;
    QAction *m_mnuAsRunLog = nullptr;
    QAction *m_mnuTrafficLog = nullptr;
    FrmTraffic *m_frmTraffic = nullptr;
    QAction *m_mnuScheduleOnOff = nullptr;
    QAction *m_mnuScheduleRestore = nullptr;
    std::array<QAction *, 24> m_mnuDiagSub{};
    QAction *m_mnuWakeUpNode = nullptr;
    QAction *m_mnuWakeUpAllNodes = nullptr;
    QAction *m_mnuAllNodesSleep = nullptr;
    QAction *m_mnuSetIDtoCurrentNode = nullptr;
    QAction *m_mnuDiagTools = nullptr;
    QAction *m_mnuCopyright = nullptr;
    QAction *m_mnuManual = nullptr;
    QAction *m_mnuAbout = nullptr;

    // Control panel.
    QScrollBar *m_hscrFade = nullptr;
    QScrollBar *m_hscrMix = nullptr;
    QScrollBar *m_hscrIntensity = nullptr;
    QScrollBar *m_hscrTimeInt = nullptr;
    QScrollBar *m_hscrTimeOn = nullptr;
    QLabel *m_lblFade = nullptr;
    QLabel *m_lblRatio = nullptr;
    QLabel *m_lblIntensity = nullptr;
    QLabel *m_lblCycTime = nullptr;
    QLabel *m_lblOnTime = nullptr;
    QLineEdit *m_txtHPOS = nullptr;
    QLineEdit *m_txtVPOS = nullptr;
    QPushButton *m_optTAKE = nullptr;
    std::array<QRadioButton *, 2> m_NTSC_PAL{};
    QCheckBox *m_NEGATE = nullptr;
    QLabel *m_lblCurrentTime = nullptr;
    QLabel *m_lblRunning = nullptr;
    QLabel *m_lblNextTake = nullptr;

    // Logo position frame and slot buttons.
    QGroupBox *m_fraPosition = nullptr;
    LogoView *m_picPicture2 = nullptr;
    LogoView *m_PicPicture1 = nullptr;
    QGroupBox *m_LOGO_SELECT = nullptr;
    std::array<QRadioButton *, 16> m_optLOGO{};

    // Status and reply strips.
    QLineEdit *m_txtCom = nullptr;
    QLabel *m_lblUpLoadStatus = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_lblCopyright = nullptr;
    QWidget *m_replyStrip = nullptr;
    QLabel *m_lblDiagSend = nullptr;
    QLabel *m_lblDiag = nullptr;
    QLabel *m_lblSCount = nullptr;
    QLabel *m_lblCount = nullptr;

    ErrorPanel *m_frameError = nullptr;
    std::function<void(QDialog &)> m_asRunDialogHook;
    std::function<void(FrmImportImage &)> m_importDialogHook;
};
