#include "tests/support/modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace varnotte::test {
namespace {

constexpr int kPollMs = 20;

// Notes what `modal` shows and presses `button`; false when it is no message box.
bool PressMessageBoxButton(QWidget* modal, int button, SeenMessageBox* seen) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
        return false;
    }
    if (seen != nullptr) {
        *seen =
            SeenMessageBox{box->text(), box->windowTitle(), box->standardButtons(), box->icon()};
    }
    if (QAbstractButton* answer = box->button(static_cast<QMessageBox::StandardButton>(button))) {
        answer->click();
    }
    return true;
}

// The title, the filters as the user reads them, the default suffix and the filters as
// given (with their patterns).
QStringList Seen(const QFileDialog* dialog) {
    QStringList shown;
    if (const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count(); ++i) {
            shown.append(types->itemText(i));
        }
    }
    return QStringList{dialog->windowTitle(), shown.join(QLatin1Char('|')), dialog->defaultSuffix(),
                       dialog->nameFilters().join(QLatin1Char('|'))};
}

}  // namespace

ModalAnswerer::ModalAnswerer(QWidget* ignored, int patienceMs)
    : ignored_(ignored), patienceMs_(patienceMs) {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start(kPollMs);
}

ModalAnswerer::~ModalAnswerer() {
    timer_.stop();
}

void ModalAnswerer::Expect(Handler handler) {
    handlers_.push_back(std::move(handler));
}

void ModalAnswerer::ExpectMessageBox(int button, SeenMessageBox* seen) {
    Expect([button, seen](QWidget* modal) { PressMessageBoxButton(modal, button, seen); });
}

void ModalAnswerer::ExpectMessageBox(int button, QString* text, QString* caption) {
    Expect([button, text, caption](QWidget* modal) {
        SeenMessageBox seen;
        if (!PressMessageBoxButton(modal, button, &seen)) {
            return;
        }
        if (text != nullptr) {
            *text = seen.text;
        }
        if (caption != nullptr) {
            *caption = seen.caption;
        }
    });
}

void ModalAnswerer::ExpectFileDialog(const QString& path, QStringList* seenTitleAndFilter) {
    Expect([path, seenTitleAndFilter](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            return;
        }
        if (seenTitleAndFilter != nullptr) {
            *seenTitleAndFilter = Seen(dialog);
        }
        AnswerFileDialog(dialog, path);
    });
}

void ModalAnswerer::AnswerFileDialog(QFileDialog* dialog, const QString& path) {
    dialog->selectFile(path);
    // Typed into the name box, as a user would; accept() reads it from there.
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->setText(path);
    }
    static_cast<QDialog*>(dialog)->accept();
}

void ModalAnswerer::ExpectFileDialogCancel(QStringList* seenTitleAndFilter) {
    Expect([seenTitleAndFilter](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            return;
        }
        if (seenTitleAndFilter != nullptr) {
            *seenTitleAndFilter = Seen(dialog);
        }
        dialog->reject();
    });
}

void ModalAnswerer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == ignored_ || !modal->isVisible()) {
        return;
    }
    if (modal != current_) {
        current_ = modal;
        waitedMs_ = 0;
        if (!handlers_.empty()) {
            Handler handler = std::move(handlers_.front());
            handlers_.pop_front();
            ++answered_;
            // Answered from a fresh event: a handler may open the next modal (a file
            // dialog's "replace?" box), and this timer cannot fire again while it runs.
            QTimer::singleShot(0, this,
                               [handler = std::move(handler), target = QPointer<QWidget>(modal)] {
                                   if (target != nullptr) {
                                       handler(target);
                                   }
                               });
            return;
        }
    }
    waitedMs_ += kPollMs;
    if (waitedMs_ >= patienceMs_) {
        unanswered_.append(modal->windowTitle());
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        current_ = nullptr;
        waitedMs_ = 0;
    }
}

}  // namespace varnotte::test
