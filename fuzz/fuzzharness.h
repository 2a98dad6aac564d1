#pragma once

#include <document.h>
#include <velmor/interface.h>

#include <QByteArray>
#include <QJsonArray>
#include <QSharedPointer>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class FakeTransport;

// What every fuzz entry stands on: the host services as a till sets them up, a client on a
// prepared transport, and the checks that abort on a broken invariant.
namespace fuzzharness {

// The service's base URL in every entry; nothing listens there.
QString baseUrl();

// An abort rather than a return code: libFuzzer keeps the input of a crash, and a replay in
// the test build stops at the first broken invariant with its name on stderr.
void check(bool condition, const char *what);

QByteArray bytes(const uint8_t *data, size_t size);
// All of the bytes: QString::fromUtf8 of a QByteArray stops at the first NUL in Qt 5.
QString utf8(const QByteArray &bytes);

// The host services as a till sets them up, reset for every input so that no input depends
// on the ones before it. The queue lives in a scratch directory, so whatever an input queues
// stays on disk only until the process ends.
void prepareHost(const QString &baseUrl = fuzzharness::baseUrl());

// A client that talks to `transport` instead of the network.
std::unique_ptr<velmor::Interface> makeClient(const QSharedPointer<FakeTransport> &transport);

// A receipt holding `items` ({"posnum", "articul", "name", "quantity", "bquant", "sumb"} each).
QSharedPointer<Document> documentFrom(const QJsonArray &items);

// Writes `content` to a fresh file in the scratch directory and returns its path.
QString writeScratchFile(const QString &prefix, const QByteArray &content);

} // namespace fuzzharness
