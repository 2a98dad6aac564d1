#pragma once

#include <result.h>
#include <tr.h>

#include <QString>

namespace tillgui {

// The texts of the cashier's screen in the language chosen with --lang. The screen's own
// labels are looked up by their English text in its Qt catalogues (translations/tillgui_*.ts,
// compiled into the program); the plug-in's messages (tr::Tr) carry a key and the Russian text,
// and are shown in Russian until a catalogue for the key is at hand.
namespace guitext {

// "ru" (the default) or "en".
bool isLanguage(const QString &language);
void setLanguage(const QString &language);
// Loads the plug-in's and the host's catalogues of `language` from where the till keeps them
// for `pluginFile`; the plug-in's messages are then shown in that language. Fails when they are
// missing.
Result<> loadCatalogue(const QString &language, const QString &pluginFile);
QString language();
// Installs Qt's own catalogue of `language` (qtbase_LANG.qm, where Qt keeps its translations),
// so that the texts Qt draws itself (standard buttons, a field's context menu) match the
// screen's; removes the one installed before. Fails when it is not there: the screen still
// works, with those texts in English. Widgets made before keep their texts.
Result<> loadQtTexts(const QString &language);

// One of the screen's own labels, by its English text: the source of its entry in the
// catalogues, and what is shown when an entry is missing.
QString text(const char *english);
// An amount of `kopecks` with its currency: "2000.00 руб.", "2000.00 roubles".
QString roubles(qint64 kopecks);
// A message of the plug-in.
QString of(const tr::Tr &message);

} // namespace guitext

} // namespace tillgui
