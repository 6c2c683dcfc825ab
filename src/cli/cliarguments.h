// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/operationrequest.h"

#include <QString>
#include <QStringList>

#include <optional>

// What quillon-cli was asked to do, read from its command line: the
// operation, and the line it is for.
struct CliRequest : OperationRequest {
    std::optional<int> port; // --port N
    QString device;          // --device PATH
};

namespace CliArguments {

struct Parsed {
    std::optional<CliRequest> request;
    QString error; // one line, when the arguments are bad
};

// The arguments without the program name.
Parsed parse(const QStringList &arguments);
QString usage();

} // namespace CliArguments
