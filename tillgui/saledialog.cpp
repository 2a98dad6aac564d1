#include "saledialog.h"

#include "answerpanel.h"
#include "guitext.h"
#include "outcome.h"
#include "progresspanel.h"
#include "scanpanel.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tillgui {

SaleDialog::SaleDialog(QWidget *parent)
    : QDialog(parent), m_pages(new QStackedWidget), m_scan(new ScanPanel),
      m_progress(new ProgressPanel), m_answer(new AnswerPanel)
{
    setWindowModality(Qt::WindowModal);
    // The scan picture is 453 x 350; the other pages keep the same size, so that the dialog
    // does not jump between them.
    setMinimumSize(560, 540);
    m_pages->addWidget(m_scan);
    m_pages->addWidget(m_progress);
    m_pages->addWidget(m_answer);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);

    connect(m_scan, &ScanPanel::backPressed, this, &QDialog::reject);
    connect(m_progress, &ProgressPanel::cancelPressed, this, &SaleDialog::cancelPressed);
    connect(m_answer, &AnswerPanel::donePressed, this, &QDialog::accept);
}

void SaleDialog::showScan(const QString &title, const QString &message, const QString &picturePath,
                          const QString &payment)
{
    setWindowTitle(title);
    m_scan->prepare(title, message, picturePath, payment);
    m_pages->setCurrentWidget(m_scan);
}

void SaleDialog::showProgress(bool cancellable, const QString &title, const QString &orderId)
{
    m_cancellable = cancellable;
    m_progress->reset();
    m_progress->setOperation(title, orderId);
    m_progress->setCancelEnabled(cancellable);
    m_progress->cancelButton()->setVisible(cancellable);
    m_pages->setCurrentWidget(m_progress);
    // Away from the hidden code field, and not onto Cancel, which Space would press.
    m_progress->setFocus();
}

void SaleDialog::showAnswer(const Outcome &outcome)
{
    setWindowTitle(guitext::text("Answer"));
    m_answer->showOutcome(outcome);
    m_pages->setCurrentWidget(m_answer);
    m_answer->doneButton()->setFocus();
    m_answerShown.start();
}

SaleDialog::Page SaleDialog::page() const
{
    if (m_pages->currentWidget() == m_progress)
        return Page::Progress;
    if (m_pages->currentWidget() == m_answer)
        return Page::Answer;
    return Page::Scan;
}

void SaleDialog::reject()
{
    if (page() == Page::Progress) {
        if (m_cancellable && m_progress->cancelButton()->isEnabled())
            emit cancelPressed();
        return;
    }
    QDialog::reject();
}

void SaleDialog::closeEvent(QCloseEvent *event)
{
    if (page() == Page::Progress) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

void SaleDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Not QDialog's default button: none of the pages has one, so that a stray Enter never
    // presses Back or Cancel unasked.
    event->accept();
    constexpr qint64 ScannerKeysMs = 300;
    switch (page()) {
    case Page::Scan:
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            if (button->isEnabled())
                button->click();
        }
        break;
    case Page::Progress:
        break;
    case Page::Answer:
        if (m_answerShown.isValid() && m_answerShown.elapsed() >= ScannerKeysMs)
            accept();
        break;
    }
}

} // namespace tillgui
