#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QKeyEvent;
class QCloseEvent;
class QStackedWidget;

namespace tillgui {

class AnswerPanel;
class Outcome;
class ProgressPanel;
class ScanPanel;

// What the cashier sees of one operation, page by page: the scan dialog, the progress display
// while the plug-in works, then its answer. While the operation runs the dialog cannot be
// closed: closing it, or Escape, presses Cancel instead. Enter presses the focused button on
// the scan page, does nothing while the operation runs (the scanner's Enter that started it
// must not cancel it) and closes the answer.
class SaleDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Page { Scan, Progress, Answer };

    explicit SaleDialog(QWidget *parent = nullptr);

    // `payment` says what the code pays for.
    void showScan(const QString &title, const QString &message, const QString &picturePath,
                  const QString &payment);
    // `cancellable`: whether Cancel is offered (a sale's wait) or the operation must run out.
    // `title` says what runs and for how much, `orderId` the order when known beforehand.
    void showProgress(bool cancellable, const QString &title, const QString &orderId);
    void showAnswer(const Outcome &outcome);

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
    void keyPressEvent(QKeyEvent *event) override;

private:
    QStackedWidget *m_pages;
    ScanPanel *m_scan;
    ProgressPanel *m_progress;
    AnswerPanel *m_answer;
    bool m_cancellable = false;
    // Since the answer is on screen: an Enter hard on its heels is a scanner's second key,
    // not the cashier's reading of the answer.
    QElapsedTimer m_answerShown;
};

} // namespace tillgui
