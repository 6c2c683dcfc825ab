#include "quilloncore.h"

QuillonCore::QuillonCore(SettingsStore &settingsStore, SerialPort &port, const Clock &clock)
    : settings(settingsStore)
    , link(state, reporter, settingsStore, port, clock)
    , logoFiles(state, reporter, settingsStore)
    , panel(state, link, reporter, settingsStore)
    , slotControl(state, link, logoFiles, reporter, settingsStore)
    , download(state, reporter, link, panel)
    , upload(state, reporter, link)
    , writer(state, reporter)
    , paint(state, reporter)
    , runner(state, reporter, settingsStore, link, slotControl, clock)
    , startup(state, reporter, settingsStore, link, panel, slotControl, logoFiles)
{
    link.setPanel(&panel);
}
