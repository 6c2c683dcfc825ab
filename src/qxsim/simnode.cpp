// SPDX-License-Identifier: GPL-3.0-or-later
#include "simnode.h"

#include "qxsim/logoformat.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

constexpr std::array<int, 6> kModels{1, 3, 4, 7, 15, 31};

int byteValue(const QByteArray &argument)
{
    return argument.isEmpty() ? 0 : static_cast<unsigned char>(argument.at(0));
}

// A number written in the given base, all of text; nothing for anything else.
std::optional<int> number(const QByteArray &text, int base)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const char c : text) {
        const bool digit = (c >= '0' && c <= '9');
        const bool hexLetter = base == 16 && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'));
        if (!digit && !hexLetter)
            return std::nullopt;
    }
    return text.toInt(nullptr, base);
}

} // namespace

SimNode::SimNode(int id, int model)
    : m_id(id)
    , m_model(isValidModel(model) ? model : 4)
{
    resetSettings();
    clearLogos();
}

bool SimNode::isValidModel(int model)
{
    return std::find(kModels.begin(), kModels.end(), model) != kModels.end();
}

void SimNode::resetSettings()
{
    m_mix = 0;
    m_fade = 0;
    m_intensity = 99;
    m_horizontal = 94;
    m_vertical = 30;
    m_status = 0;
    m_onTime = 20;
    m_interval = 40;
    m_slot = 1;
    m_standard = Standard::Ntsc;
}

void SimNode::powerOn()
{
    m_status &= ~TakeBit;
    m_awake = true;
    m_receivingLogo = false;
    m_logoRam = storedLogo(m_slot);
    if (m_logoRam.isEmpty())
        m_logoRam = QByteArray(LogoFormat::LogoSize, '\0');
}

void SimNode::setTake(bool on)
{
    m_status = on ? (m_status | TakeBit) : (m_status & ~TakeBit);
}

void SimNode::clearLogos()
{
    m_logoRam = QByteArray(LogoFormat::LogoSize, '\0');
    m_slots = QList<QByteArray>(MaxSlots, m_logoRam);
}

QByteArray SimNode::handle(const CommandInfo &command, const QByteArray &argument)
{
    // Any command after ALD means the logo lines are not coming.
    m_receivingLogo = false;
    if (command.number == CommandTable::Wakeup) {
        const std::optional<int> id = number(argument, 16);
        if (id && (*id == 0 || *id == m_id))
            m_awake = true;
        return {};
    }
    if (!m_awake)
        return {};

    const int b = byteValue(argument);
    switch (command.number) {
    case CommandTable::ToggleTake:
        m_status ^= TakeBit;
        break;
    case CommandTable::TakeOff:
        m_status &= ~TakeBit;
        break;
    case CommandTable::TakeOn:
        m_status |= TakeBit;
        break;
    case CommandTable::FadeRate:
        m_fade = std::min(b, 99);
        break;
    case CommandTable::MixLevel:
        // The program sends 100 - slider and shows 99 - m, so m = b - 1 keeps
        // the slider where the user left it.
        m_mix = std::clamp(b - 1, 0, 99);
        break;
    case CommandTable::IreLevel:
        m_intensity = std::min(b, 99);
        break;
    case CommandTable::HorizPosn:
        if (const std::optional<int> h = number(argument, 16))
            m_horizontal = *h;
        break;
    case CommandTable::VertPosn:
        if (const std::optional<int> v = number(argument, 16))
            m_vertical = *v;
        break;
    case CommandTable::SetTimeOn:
        m_onTime = std::max(b, 1);
        break;
    case CommandTable::SetTimeOff:
        m_interval = std::max(b, 1);
        break;
    case CommandTable::SelectLogo:
        if (const std::optional<int> slot = number(argument.left(2), 10);
            slot && *slot >= 1 && *slot <= m_model)
            m_slot = *slot;
        break;
    case CommandTable::SetModel:
        if (const std::optional<int> model = number(argument, 10); model && isValidModel(*model)) {
            m_model = *model;
            m_slot = std::min(m_slot, m_model);
        }
        break;
    case CommandTable::ChangeId:
        if (const std::optional<int> id = number(argument, 16); id && *id >= 1 && *id <= 255)
            m_id = *id;
        break;
    case CommandTable::StandardNtsc:
        m_standard = Standard::Ntsc;
        break;
    case CommandTable::StandardPal:
        m_standard = Standard::Pal;
        break;
    case CommandTable::SaveSettings:
        ++m_settingsSaves;
        break;
    case CommandTable::FactoryReset:
        // Back to factory state; the device answers with its (now empty)
        // selected logo, which the program takes in as a logo stream.
        resetSettings();
        clearLogos();
        return logoStream();
    case CommandTable::SendLogo:
        m_receivingLogo = true;
        break;
    case CommandTable::SaveLogo:
        m_slots[m_slot - 1] = m_logoRam;
        break;
    case CommandTable::RetrieveLogo:
        return logoStream();
    case CommandTable::Sleep:
        m_awake = false;
        break;
    case CommandTable::RetrieveSettings:
        return settingsReply();
    case CommandTable::RetrieveCopyright:
        return copyrightReply();
    default: // ACI: accepted without an answer
        break;
    }
    return {};
}

void SimNode::takeLogoLines(const QByteArray &lines)
{
    if (m_receivingLogo && lines.size() == LogoFormat::LogoSize)
        m_logoRam = LogoFormat::rowsFromFields(lines);
    m_receivingLogo = false;
}

void SimNode::abandonLogoLines()
{
    m_receivingLogo = false;
}

QByteArray SimNode::storedLogo(int slot) const
{
    return slot >= 1 && slot <= m_model ? m_slots.at(slot - 1) : QByteArray();
}

QByteArray SimNode::logoStream() const
{
    QByteArray stream = QByteArrayLiteral("\x00\x01SD");
    QByteArray lines = LogoFormat::fieldsFromRows(m_slots.at(m_slot - 1));
    for (char &byte : lines)
        byte = static_cast<char>(~byte);
    return stream + lines;
}

QByteArray SimNode::settingsReply() const
{
    QByteArray reply;
    reply += m_model == 1 ? 'S' : 's';
    for (const int value : {m_mix, m_fade, m_intensity, m_horizontal, m_vertical, m_status})
        reply += static_cast<char>(value);
    reply += "00";
    reply += static_cast<char>(m_onTime);
    reply += static_cast<char>(m_interval);
    if (m_model != 1)
        reply += QByteArray::number(m_slot).rightJustified(2, '0');
    return reply;
}

QByteArray SimNode::copyrightReply() const
{
    return "(C) 2026 Logo Generator Simulator QX" + QByteArray::number(m_model).rightJustified(2, '0')
           + " V1.0\r\n";
}

QByteArray SimNode::describe() const
{
    QByteArray line = "NODE";
    const auto add = [&line](const char *key, const QByteArray &value) {
        line += ' ';
        line += key;
        line += '=';
        line += value;
    };
    add("id", QByteArray::number(m_id));
    add("model", QByteArray::number(m_model));
    add("awake", m_awake ? "1" : "0");
    add("mix", QByteArray::number(m_mix));
    add("fade", QByteArray::number(m_fade));
    add("intensity", QByteArray::number(m_intensity));
    add("h", QByteArray::number(m_horizontal));
    add("v", QByteArray::number(m_vertical));
    add("status", QByteArray::number(m_status));
    add("on", QByteArray::number(m_onTime));
    add("interval", QByteArray::number(m_interval));
    add("slot", QByteArray::number(m_slot));
    add("std", m_standard == Standard::Ntsc ? "NTSC" : "PAL");
    add("saves", QByteArray::number(m_settingsSaves));
    add("ram", LogoFormat::checksum(m_logoRam));
    add("logo", LogoFormat::checksum(m_slots.at(m_slot - 1)));
    return line;
}
