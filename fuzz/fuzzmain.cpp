#include "fuzzentries.h"

#include <QCoreApplication>

// One libFuzzer executable per entry; the build names the entry in VELMOR_FUZZ_ENTRY.

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The host runs the plug-in inside a Qt application; some Qt services behave
    // differently without one.
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return VELMOR_FUZZ_ENTRY(data, size);
}
