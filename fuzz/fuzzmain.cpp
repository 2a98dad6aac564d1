#include "fuzzentries.h"

#include <QCoreApplication>

// One libFuzzer executable per entry; the build names the entry in VELMOR_FUZZ_ENTRY.

// Named loggers live as long as the process by design; the table that holds them is a
// function-local static, destroyed before the leak check, which then sees them as lost.
// Qt 5.15's JSON parser loses the earlier value of a duplicated key when that value is an
// array or an object. Qt is built without frame pointers, so with the fast unwinder such a
// stack ends inside Qt and cannot be told apart more narrowly than by the library; a leak
// of ours still shows, since its allocation starts in our own code.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:Log4Qt::LogManager::logger\n"
           "leak:libQt5Core.so\n";
}

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
