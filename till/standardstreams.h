#pragma once

#include <result.h>

#include <QByteArray>
#include <QString>

namespace till {

// The till's standard streams: every line gets its line end, and a write that fails says so
// instead of vanishing.
namespace StandardStreams {

// Points standard input, output or error that the program was started without at /dev/null,
// so that no file opened later takes their descriptors; a closed standard output is
// remembered, and printOut fails for it. Called first thing in main().
void guard();

// Fails, saying why, when the line did not reach standard output whole (closed, full, a broken
// pipe, a short write or a failed flush).
Result<> printOut(const QString &line);
// The same for text that is UTF-8 already.
Result<> printOut(const QByteArray &line);

// Failures are ignored: there is nowhere left to report them.
void printError(const QString &line);

} // namespace StandardStreams

} // namespace till
