#pragma once

#include <cstddef>
#include <cstdint>

// The bodies of the fuzz targets. The libFuzzer executables and the regression suite both
// call them, so an input that once failed is replayed by the ordinary test build. Each one
// returns 0; a broken invariant prints what broke and aborts, so that the fuzzer keeps the
// input and a replay fails loudly.

// Any answer of the service decoded after a POST, a GET, an info request or a cancellation:
// bytes 0-1 the HTTP status (signed, little-endian), byte 2 the flags (bits 0-1 the
// operation, bits 2-3 the transport failure, bit 4 the timeout flag, bit 5 the text below is
// the base URL rather than the order id), then the text up to a NUL byte, then the body.
int fuzzDecode(const uint8_t *data, size_t size);

// jsonutils::extract: the first line is the key path, keys separated by "/"; the rest is a
// JSON object.
int fuzzExtract(const uint8_t *data, size_t size);

// velmor::trId and velmor::orderStatusOf on the input as UTF-8 text.
int fuzzTrId(const uint8_t *data, size_t size);

// The replay of a queued message. The input is a JSON object: its "answers" array scripts
// the service ({"status", "networkError", "timedOut", "body"} each), its "document" array
// fills the current receipt ({"posnum", "quantity", "bquant", "sumb"} each), and everything
// else is the message as the host hands it back.
int fuzzReplay(const uint8_t *data, size_t size);

// The till's receipt reader, on the bytes in hand and on the same bytes in a file.
int fuzzReceipt(const uint8_t *data, size_t size);

// Config::loadFile on the input as an ini file, then the client configured from it.
int fuzzConfig(const uint8_t *data, size_t size);

// The queue's check of a stored message as one line of JSON of an object, against Qt's parser.
int fuzzCompactJson(const uint8_t *data, size_t size);
