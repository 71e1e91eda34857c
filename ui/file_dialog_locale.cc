#include "ui/file_dialog_locale.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QTreeView>

namespace varnotte {
namespace {

// The columns of Qt's file system model.
constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;

// A file's type as Qt words it where it knows no description of the file's kind.
QString TypeOf(const QFileInfo& file) {
    return file.suffix().isEmpty()
               ? QCoreApplication::translate("QAbstractFileIconProvider", "File")
               : QCoreApplication::translate("QAbstractFileIconProvider", "%1 File")
                     .arg(file.suffix());
}

// Passes the dialog's file list through, with its sizes, types and dates written anew.
class FileDetailsInLocale : public QIdentityProxyModel {
  public:
    FileDetailsInLocale(const QLocale& locale, QObject* parent)
        : QIdentityProxyModel(parent), locale_(locale) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex source = mapToSource(index);
        if (index.column() == kSizeColumn && !files->isDir(source)) {
            return locale_.formattedDataSize(files->size(source));
        }
        // The description of a file's kind comes from the system's list of file types, in
        // the system's language.
        if (index.column() == kTypeColumn && !files->isDir(source)) {
            return TypeOf(files->fileInfo(source));
        }
        if (index.column() == kDateColumn) {
            return locale_.toString(files->lastModified(source), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }

  private:
    QLocale locale_;
};

}  // namespace

FileDialogLocale::FileDialogLocale(const QLocale& locale, QObject* parent)
    : QObject(parent), locale_(locale) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool FileDialogLocale::eventFilter(QObject* watched, QEvent* event) {
    // Polished before it first shows, once its files are chosen and its views made.
    if (event->type() == QEvent::Polish) {
        auto* dialog = qobject_cast<QFileDialog*>(watched);
        // A dialog the platform draws itself has no views of Qt's, and speaks its language.
        if (dialog != nullptr && dialog->findChild<QTreeView*>() != nullptr &&
            dialog->proxyModel() == nullptr) {
            dialog->setProxyModel(new FileDetailsInLocale(locale_, dialog));
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace varnotte
