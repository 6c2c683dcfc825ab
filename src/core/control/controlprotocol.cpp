// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlprotocol.h"

#include "device_link/commandtable.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMap>

#include <cmath>
#include <limits>

namespace ControlProtocol {

namespace {

using Kind = Request::Kind;

// How each operation's fields become the words quillon-cli would be given,
// so that both are checked by the same rules.
struct FieldRule {
    const char *name;
    enum Type { Text, Whole, Flag } type;
    bool required;
};

struct OperationRule {
    const char *word; // the command word of quillon-cli
    QList<FieldRule> fields;
};

const QMap<QString, OperationRule> &operations()
{
    using T = FieldRule;
    static const QMap<QString, OperationRule> rules{
        {QStringLiteral("settings"), {"status", {}}},
        {QStringLiteral("copyright"), {"copyright", {}}},
        {QStringLiteral("download"), {"download", {{"file", T::Text, true}, {"negative", T::Flag, false}}}},
        {QStringLiteral("store-logo"), {"store-logo", {}}},
        {QStringLiteral("upload"), {"upload", {{"file", T::Text, true}}}},
        {QStringLiteral("set"), {"set", {{"setting", T::Text, true}, {"value", T::Whole, true}}}},
        {QStringLiteral("standard"), {"standard", {{"standard", T::Text, true}}}},
        {QStringLiteral("take"), {"take", {{"take", T::Text, true}}}},
        {QStringLiteral("select"), {"select", {{"slot", T::Whole, true}}}},
        {QStringLiteral("wake"), {"wake", {{"node", T::Whole, false}}}},
        {QStringLiteral("sleep"), {"sleep", {}}},
        {QStringLiteral("set-id"), {"set-id", {{"node", T::Whole, true}}}},
    };
    return rules;
}

std::optional<int> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (std::trunc(d) != d || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(d);
}

QString typeName(FieldRule::Type type)
{
    switch (type) {
    case FieldRule::Text:
        return QStringLiteral("a string");
    case FieldRule::Whole:
        return QStringLiteral("a whole number");
    case FieldRule::Flag:
        break;
    }
    return QStringLiteral("true or false");
}

// The words of an operation, or an error.
bool operationWords(const QJsonObject &o, const OperationRule &rule, QStringList &words, bool &negative,
                    QString &error)
{
    for (const FieldRule &field : rule.fields) {
        const QString name = QString::fromLatin1(field.name);
        const QJsonValue value = o.value(name);
        if (value.isUndefined()) {
            if (field.required) {
                error = QStringLiteral("\"%1\" needs the field \"%2\"").arg(o.value(u"op").toString(), name);
                return false;
            }
            continue;
        }
        switch (field.type) {
        case FieldRule::Text:
            if (!value.isString()) {
                error = QStringLiteral("\"%1\" must be %2").arg(name, typeName(field.type));
                return false;
            }
            words << value.toString();
            break;
        case FieldRule::Whole: {
            const auto number = wholeNumber(value);
            if (!number) {
                error = QStringLiteral("\"%1\" must be %2").arg(name, typeName(field.type));
                return false;
            }
            words << QString::number(*number);
            break;
        }
        case FieldRule::Flag:
            if (!value.isBool()) {
                error = QStringLiteral("\"%1\" must be %2").arg(name, typeName(field.type));
                return false;
            }
            negative = value.toBool();
            break;
        }
    }
    return true;
}

QByteArray line(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

Parsed parse(const QByteArray &text)
{
    Parsed parsed;
    if (text.size() > MaxLine) {
        parsed.error = QStringLiteral("the request is longer than %1 bytes").arg(MaxLine);
        return parsed;
    }
    QJsonParseError problem{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &problem);
    if (problem.error != QJsonParseError::NoError || !document.isObject()) {
        parsed.error = problem.error != QJsonParseError::NoError
                           ? QStringLiteral("not JSON: ") + problem.errorString()
                           : QStringLiteral("a request is a JSON object");
        return parsed;
    }
    const QJsonObject o = document.object();
    const QJsonValue id = o.value(u"id");
    if (id.isString() || (id.isDouble() && wholeNumber(id)))
        parsed.id = id;
    if (parsed.id.isNull()) {
        parsed.error = QStringLiteral("a request needs an \"id\": a whole number or a string");
        return parsed;
    }
    Request r;
    r.id = parsed.id;
    const QJsonValue token = o.value(u"token");
    if (token.isString())
        r.token = token.toString();
    else if (!token.isUndefined()) {
        parsed.error = QStringLiteral("\"token\" must be a string");
        return parsed;
    }
    if (!o.value(u"op").isString()) {
        parsed.error = QStringLiteral("a request needs an \"op\": a string");
        return parsed;
    }
    r.op = o.value(u"op").toString();

    static const QMap<QString, Kind> plain{
        {QStringLiteral("hello"), Kind::Hello},
        {QStringLiteral("status"), Kind::Status},
        {QStringLiteral("subscribe"), Kind::Subscribe},
        {QStringLiteral("schedule-reload"), Kind::ScheduleReload},
    };
    if (const auto found = plain.constFind(r.op); found != plain.cend()) {
        r.kind = *found;
        parsed.request = r;
        return parsed;
    }
    // diagnostic and command name a command of the table by its number.
    const auto command = wholeNumber(o.value(u"command"));
    const bool byNumber = r.op == QLatin1String("diagnostic") || r.op == QLatin1String("command");
    if (byNumber && (!command || *command < 0 || *command >= CommandTable::CommandCount)) {
        parsed.error = QStringLiteral("\"command\" must be a command number from 0 to %1")
                           .arg(CommandTable::CommandCount - 1);
        return parsed;
    }
    if (r.op == QLatin1String("diagnostic")) {
        const QJsonValue value = o.value(u"value");
        const auto number = value.isUndefined() ? std::optional<int>(0) : wholeNumber(value);
        if (!number || *number < 0 || *number > 255) {
            parsed.error = QStringLiteral("\"value\" must be a whole number from 0 to 255");
            return parsed;
        }
        r.kind = Kind::Diagnostic;
        r.diagnostic = *command;
        r.diagnosticValue = *number;
        parsed.request = r;
        return parsed;
    }
    if (r.op == QLatin1String("command")) {
        // One command of the table as a window sends it. The ones a logo
        // stream answers, or logo lines follow, are operations of their own.
        const QJsonValue argument = o.value(u"argument");
        const QByteArray bytes = QByteArray::fromHex(argument.toString().toLatin1());
        if (*command == CommandTable::SendLogo || *command == CommandTable::RetrieveLogo
            || *command == CommandTable::FactoryReset) {
            parsed.error
                = QStringLiteral("command %1 is sent by download, upload or diagnostic").arg(*command);
            return parsed;
        }
        if (!argument.isUndefined()
            && (!argument.isString() || bytes.size() > 4
                || bytes.toHex() != argument.toString().toLower().toLatin1())) {
            parsed.error = QStringLiteral("\"argument\" must be up to 4 bytes in hex");
            return parsed;
        }
        r.kind = Kind::Command;
        r.diagnostic = *command;
        r.argument = bytes;
        parsed.request = r;
        return parsed;
    }
    const auto rule = operations().constFind(r.op);
    if (rule == operations().cend()) {
        parsed.error = QStringLiteral("unknown operation \"%1\"").arg(r.op.left(64));
        return parsed;
    }
    QStringList words;
    QString error;
    if (!operationWords(o, *rule, words, r.operation.negative, error)) {
        parsed.error = error;
        return parsed;
    }
    const QString word = QString::fromLatin1(rule->word);
    r.operation.command = *OperationRequest::commandNamed(word);
    if (!r.operation.readOperands(r.op, words, error)) {
        parsed.error = error;
        return parsed;
    }
    // The holder's working folder is not the client's.
    if (!r.operation.file.isEmpty() && !r.operation.file.startsWith(QLatin1Char('/'))) {
        parsed.error = QStringLiteral("\"file\" must be an absolute path");
        return parsed;
    }
    r.kind = Kind::Operation;
    parsed.request = r;
    return parsed;
}

QByteArray answer(const QJsonValue &id, QJsonObject fields)
{
    fields.insert(QStringLiteral("id"), id);
    fields.insert(QStringLiteral("ok"), true);
    return line(fields);
}

QByteArray failure(const QJsonValue &id, int exitCode, const QString &message)
{
    return line({{QStringLiteral("id"), id},
                 {QStringLiteral("ok"), false},
                 {QStringLiteral("exit"), exitCode},
                 {QStringLiteral("error"), message}});
}

QByteArray event(const QString &name, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), name);
    return line(fields);
}

bool sameToken(const QByteArray &given, const QByteArray &expected)
{
    // Every byte of the longer one is looked at, whatever the first
    // difference, and the lengths are compared last.
    const qsizetype length = std::max(given.size(), expected.size());
    unsigned difference = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const auto a = static_cast<unsigned char>(i < given.size() ? given[i] : 0);
        const auto b = static_cast<unsigned char>(i < expected.size() ? expected[i] : 0);
        difference |= static_cast<unsigned>(a ^ b);
    }
    return (difference | static_cast<unsigned>(given.size() != expected.size())) == 0 && !expected.isEmpty();
}

} // namespace ControlProtocol
