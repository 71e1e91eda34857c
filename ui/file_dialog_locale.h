// The sizes, dates and file types of the file dialogs in the window's language.
//
// Qt's file dialogs write a file's size ("12 bytes"), its date ("8 Dec 2026") and its kind
// ("CSV document", from the system's list of file types) in the system's language,
// whatever the program speaks, and no translator reaches them. Once installed, every file
// dialog that is about to show writes sizes and dates in the given locale, and a file's
// type as "<suffix> File" through the translators.
#pragma once

#include <QLocale>
#include <QObject>

namespace varnotte {

class FileDialogLocale : public QObject {
  public:
    // Watches every widget of the application; `parent` owns it.
    FileDialogLocale(const QLocale& locale, QObject* parent);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLocale locale_;
};

}  // namespace varnotte
