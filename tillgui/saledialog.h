#pragma once

#include <paymentprocessinganswer.h>

#include <QDialog>

class AnswerPanel;
class ProgressPanel;
class QCloseEvent;
class QStackedWidget;
class ScanPanel;

// What the cashier sees of one operation, page by page: the scan dialog, the progress display
// while the plug-in works, then its answer. While the operation runs the dialog cannot be
// closed: closing it, or Escape, presses Cancel instead.
class SaleDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Page { Scan, Progress, Answer };

    explicit SaleDialog(QWidget *parent = nullptr);

    void showScan(const QString &title, const QString &message, const QString &picturePath);
    // `cancellable`: whether Cancel is offered (a sale's wait) or the operation must run out.
    void showProgress(bool cancellable);
    void showAnswer(const PaymentProcessingAnswer &answer);

    Page page() const;
    ScanPanel *scanPanel() const { return m_scan; }
    ProgressPanel *progressPanel() const { return m_progress; }
    AnswerPanel *answerPanel() const { return m_answer; }

public slots:
    void reject() override;

signals:
    void cancelPressed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QStackedWidget *m_pages;
    ScanPanel *m_scan;
    ProgressPanel *m_progress;
    AnswerPanel *m_answer;
    bool m_cancellable = false;
};
