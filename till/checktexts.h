#pragma once

#include <QString>

// Every text the set-up check prints, in English, each under a key of its own, so that a
// translation catalogue can take them over key by key. "%1", "%2", ... stand for the
// arguments the caller fills in with QString::arg.
class CheckTexts
{
public:
    // The text under `key`; the key itself when there is none, so that a missing text shows
    // up in the output instead of vanishing.
    static QString text(const char *key);
};
