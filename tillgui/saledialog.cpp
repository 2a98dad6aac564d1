#include "saledialog.h"

#include "answerpanel.h"
#include "guitext.h"
#include "progresspanel.h"
#include "scanpanel.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

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

void SaleDialog::showScan(const QString &title, const QString &message, const QString &picturePath)
{
    setWindowTitle(title);
    m_scan->prepare(title, message, picturePath);
    m_pages->setCurrentWidget(m_scan);
}

void SaleDialog::showProgress(bool cancellable)
{
    m_cancellable = cancellable;
    m_progress->reset();
    m_progress->setCancelEnabled(cancellable);
    m_progress->cancelButton()->setVisible(cancellable);
    m_pages->setCurrentWidget(m_progress);
}

void SaleDialog::showAnswer(const PaymentProcessingAnswer &answer)
{
    setWindowTitle(guitext::text("Answer"));
    m_answer->showAnswer(answer);
    m_pages->setCurrentWidget(m_answer);
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
