// Qt's own texts in the window's language.
//
// The window speaks Japanese; the dialogs and buttons that Qt draws itself (the file
// dialogs, "... already exists. Do you want to replace it?", Yes and No) come in English
// unless Qt's own Japanese translations are loaded. Debian ships them in
// qt6-translations-l10n. What that catalogue lacks (the file dialogs' file types) and what
// no catalogue reaches (their sizes and dates, written in the system's locale) is supplied
// here too.
#pragma once

class QCoreApplication;

namespace varnotte {

// Installs Qt's Japanese translations into `application`, with the missing texts, and makes
// the file dialogs list sizes and dates in Japanese. Returns whether Qt's translations were
// found; without them Qt's texts stay English and nothing else changes.
bool InstallQtJapanese(QCoreApplication& application);

}  // namespace varnotte
