#include "compactjson.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Byte = unsigned char;

// Bytes a string holds as they are: printable ASCII other than the quote and the backslash.
constexpr std::array<bool, 256> plainStringBytes()
{
    std::array<bool, 256> plain{};
    for (int byte = 0x20; byte < 0x80; ++byte)
        plain[size_t(byte)] = byte != '"' && byte != '\\';
    return plain;
}

constexpr std::array<bool, 256> PlainStringByte = plainStringBytes();

bool isDigit(Byte byte)
{
    return byte >= '0' && byte <= '9';
}

bool isHexDigit(Byte byte)
{
    return isDigit(byte) || (byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F');
}

// Each reader below takes the text from `at` to `end` and returns where the piece it reads
// ends, or nullptr when the text there is not one. They work on pointers passed and returned,
// not on members: a byte read through `unsigned char` may alias any object, which would have
// the position stored and loaded again at every byte.

// To the first byte that is no plain string byte, or `end`.
const Byte *skipPlainBytes(const Byte *at, const Byte *end)
{
    // Most of a message's text is ids and names, read here many bytes at a time.
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    while (end - at >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        // Compared as signed, bytes above ASCII are below the space, as control bytes are.
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
            _mm_cmplt_epi8(bytes, space));
        const int found = _mm_movemask_epi8(special);
        if (found)
            return at + __builtin_ctz(unsigned(found));
        at += 16;
    }
#else
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t highBits = 0x8080808080808080u;
    while (end - at >= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        const std::uint64_t quotes = word ^ (ones * '"');
        const std::uint64_t backslashes = word ^ (ones * '\\');
        // A byte's high bit is set here when the byte is below 0x20, a quote, a backslash or
        // above ASCII.
        const std::uint64_t special =
            (((word - ones * 0x20) & ~word) | ((quotes - ones) & ~quotes) |
             ((backslashes - ones) & ~backslashes) | word) &
            highBits;
        if (special)
            break;
        at += 8;
    }
#endif
    while (at != end && PlainStringByte[*at])
        ++at;
    return at;
}

const Byte *escape(const Byte *at, const Byte *end)
{
    // `at` is past the backslash.
    if (at == end)
        return nullptr;
    switch (*at++) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
        return at;
    case 'u':
        if (end - at < 4)
            return nullptr;
        for (int i = 0; i < 4; ++i) {
            if (!isHexDigit(*at++))
                return nullptr;
        }
        return at;
    default:
        return nullptr;
    }
}

// Well-formed UTF-8 (Unicode's table 3-7): no overlong form, no surrogate, nothing above
// U+10FFFF.
const Byte *multiByte(const Byte *at, const Byte *end)
{
    const Byte lead = *at;
    int continuation;
    Byte low = 0x80;
    Byte high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return nullptr;
    }
    if (end - at <= continuation)
        return nullptr;
    ++at;
    for (int i = 0; i < continuation; ++i, ++at) {
        if (*at < low || *at > high)
            return nullptr;
        low = 0x80;
        high = 0xBF;
    }
    return at;
}

const Byte *string(const Byte *at, const Byte *end)
{
    if (at == end || *at != '"')
        return nullptr;
    ++at;
    for (;;) {
        at = skipPlainBytes(at, end);
        if (at == end)
            return nullptr;
        if (*at == '"')
            return at + 1;
        if (*at == '\\')
            at = escape(at + 1, end);
        else if (*at >= 0x80)
            at = multiByte(at, end);
        else
            return nullptr; // a control character, a line break among them
        if (!at)
            return nullptr;
    }
}

const Byte *digits(const Byte *at, const Byte *end)
{
    const Byte *const first = at;
    while (at != end && isDigit(*at))
        ++at;
    return at == first ? nullptr : at;
}

const Byte *number(const Byte *at, const Byte *end)
{
    if (at != end && *at == '-')
        ++at;
    if (at != end && *at == '0') {
        ++at;
        if (at != end && isDigit(*at))
            return nullptr;
    } else if (!(at = digits(at, end))) {
        return nullptr;
    }
    if (at != end && *at == '.' && !(at = digits(at + 1, end)))
        return nullptr;
    if (at != end && (*at == 'e' || *at == 'E')) {
        ++at;
        if (at != end && (*at == '+' || *at == '-'))
            ++at;
        at = digits(at, end);
    }
    return at;
}

const Byte *word(const Byte *at, const Byte *end, const char *word, std::size_t length)
{
    if (std::size_t(end - at) < length || std::memcmp(at, word, length) != 0)
        return nullptr;
    return at + length;
}

// A value that opens no container; `at` is not `end`.
const Byte *scalar(const Byte *at, const Byte *end)
{
    switch (*at) {
    case '"':
        return string(at, end);
    case 't':
        return word(at, end, "true", 4);
    case 'f':
        return word(at, end, "false", 5);
    case 'n':
        return word(at, end, "null", 4);
    default:
        return number(at, end);
    }
}

} // namespace

bool CompactJson::isObject(const char *text, std::size_t size)
{
    if (!text)
        return false;
    const Byte *at = reinterpret_cast<const Byte *>(text);
    const Byte *const end = at + size;
    if (at == end || *at != '{')
        return false;
    ++at;
    // The containers open around the position, innermost last: '}' or ']' for each.
    std::array<Byte, MaxDepth> closers;
    int depth = 0;
    closers[size_t(depth++)] = '}';
    bool first = true;
    for (;;) {
        // After an opening bracket (`first`) or a comma: a member or an element, or a close.
        bool closed = first && at != end && *at == closers[size_t(depth - 1)];
        if (closed) {
            ++at;
        } else {
            if (closers[size_t(depth - 1)] == '}') {
                if (!(at = string(at, end)))
                    return false;
                if (at == end || *at != ':')
                    return false;
                ++at;
            }
            if (at == end)
                return false;
            if (*at == '{' || *at == '[') {
                if (depth == MaxDepth)
                    return false;
                closers[size_t(depth++)] = *at == '{' ? '}' : ']';
                ++at;
                first = true;
                continue;
            }
            if (!(at = scalar(at, end)))
                return false;
        }
        // After a value, or a container closed: a comma, or the innermost container's close.
        for (;;) {
            if (closed && --depth == 0)
                return at == end;
            if (at == end)
                return false;
            if (*at == ',') {
                ++at;
                first = false;
                break;
            }
            if (*at != closers[size_t(depth - 1)])
                return false;
            ++at;
            closed = true;
        }
    }
}
