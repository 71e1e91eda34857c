// Answers the message boxes and file dialogs that the code under test opens, so a test
// never waits for a person.
//
// Handlers are queued in the order the modals are expected; each is called once for the
// next modal window that appears (other than the ones the test runs itself). A modal that
// appears with no handler left, or that a handler leaves open, is rejected after a few
// seconds and recorded as a failure, so a forgotten box fails the test instead of hanging it.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class QFileDialog;
class QWidget;

namespace varnotte::test {

// What a message box showed before it was answered.
struct SeenMessageBox {
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalAnswerer : public QObject {
    Q_OBJECT

  public:
    using Handler = std::function<void(QWidget* modal)>;

    // `ignored`: modal windows that belong to the test (the dialog it runs with exec()).
    explicit ModalAnswerer(QWidget* ignored = nullptr, int patienceMs = 5000);
    ~ModalAnswerer() override;

    void Expect(Handler handler);
    // Common answers.
    void ExpectMessageBox(int button, QString* text = nullptr, QString* caption = nullptr);
    void ExpectMessageBox(int button, SeenMessageBox* seen);
    // `seenTitleAndFilter`: the title, the filters as the dialog shows them, the default
    // suffix, and the filters with their patterns.
    void ExpectFileDialog(const QString& path, QStringList* seenTitleAndFilter = nullptr);
    void ExpectFileDialogCancel(QStringList* seenTitleAndFilter = nullptr);

    // Types `path` into the dialog's name box and accepts it, as a user would.
    static void AnswerFileDialog(QFileDialog* dialog, const QString& path);

    int pending() const { return static_cast<int>(handlers_.size()); }
    // Modals that nobody answered (each was rejected), with their titles.
    const QStringList& unanswered() const { return unanswered_; }
    int answered() const { return answered_; }

  private:
    void Poll();

    QPointer<QWidget> ignored_;
    int patienceMs_;
    std::deque<Handler> handlers_;
    QTimer timer_;
    QPointer<QWidget> current_;
    int waitedMs_ = 0;
    int answered_ = 0;
    QStringList unanswered_;
};

}  // namespace varnotte::test
