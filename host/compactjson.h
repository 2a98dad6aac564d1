#pragma once

#include "hostexport.h"

#include <cstddef>

// A check of JSON text without building anything from it, for text that is written out as it
// is stored when it passes, one line per message.
class HOST_EXPORT CompactJson
{
public:
    // True when `text` is one JSON object by RFC 8259, in well-formed UTF-8, written compact:
    // no white space outside its strings, and so no line break at all (none can be inside a
    // string). Such text is one line as it stands. Objects and arrays nested deeper than
    // MaxDepth are refused.
    static bool isObject(const char *text, std::size_t size);

    static constexpr int MaxDepth = 512;
};
