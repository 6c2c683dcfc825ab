// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/operationrequest.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// The control endpoint's protocol: newline-delimited JSON, one request and
// one answer per line, each carrying the request's id (doc/control-protocol.md).
// Reading a request checks its fields' types and the operation's ranges; it
// never touches the line.
namespace ControlProtocol {

constexpr int Version = 1;
// A request line longer than this is refused, and the client closed.
constexpr qsizetype MaxLine = 64 * 1024;

struct Request {
    enum class Kind { Hello, Status, Subscribe, ScheduleReload, Operation, Diagnostic, Command };
    QJsonValue id;
    QString op;
    Kind kind = Kind::Hello;
    OperationRequest operation; // Kind::Operation
    int diagnostic = 0;         // Kind::Diagnostic: the command's number
    int diagnosticValue = 0;
    QByteArray argument; // Kind::Command: the argument bytes as they go out
    std::optional<QString> token;
};

struct Parsed {
    std::optional<Request> request;
    QJsonValue id; // what the answer to a refused request carries (null when unknown)
    QString error; // one line, when refused
};

// One request line, without its line end.
Parsed parse(const QByteArray &line);

// Answer lines, each ending in a line feed.
QByteArray answer(const QJsonValue &id, QJsonObject fields = {});
QByteArray failure(const QJsonValue &id, int exitCode, const QString &message);
QByteArray event(const QString &name, QJsonObject fields = {});

// Compares a token in time that does not depend on where it differs.
bool sameToken(const QByteArray &given, const QByteArray &expected);

} // namespace ControlProtocol
