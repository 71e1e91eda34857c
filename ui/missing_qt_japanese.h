// The Japanese texts Qt's own catalogue lacks.
//
// Qt 6 asks for the file dialogs' type column ("Folder", "txt File", ...) in the context
// of QAbstractFileIconProvider, which Qt's Japanese catalogue does not have yet: installed
// after Qt's translator, this one answers those texts and passes every other on.
#pragma once

#include <QTranslator>

namespace varnotte {

class MissingQtJapanese : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
    // Never empty: an empty translator is not installed.
    bool isEmpty() const override { return false; }
};

}  // namespace varnotte
