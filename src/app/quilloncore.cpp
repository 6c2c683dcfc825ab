#include "quilloncore.h"

QuillonCore::QuillonCore(SettingsStore &settingsStore, SerialPort &port, const Clock &clock)
    : settings(settingsStore)
    , link(state, reporter, settingsStore, port, clock)
    , panel(state, link)
    , slotControl(state, link, reporter, settingsStore)
    , startup(state, reporter, settingsStore, link, panel, slotControl)
{
    link.setPanel(&panel);
}
