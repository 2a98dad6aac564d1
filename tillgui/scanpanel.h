#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tillgui {

// The QR-scan dialog's page: the plug-in's title, message and picture, and a code field. A
// scanner types the code as keys and ends it with Enter, which hands the code on.
class ScanPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ScanPanel(QWidget *parent = nullptr);

    // An empty picture path, or one that does not load, leaves the picture out. `payment` says
    // what the code pays for ("Оплата 2000.00 руб.").
    void prepare(const QString &title, const QString &message, const QString &picturePath,
                 const QString &payment);

    QString title() const;
    QString message() const;
    QString paymentText() const;
    bool hasPicture() const;
    QLineEdit *codeField() const { return m_code; }

signals:
    void codeEntered(const QString &code);
    void backPressed();

private:
    void submit();

    QLabel *m_title;
    QLabel *m_message;
    QLabel *m_payment;
    QLabel *m_picture;
    QLineEdit *m_code;
    QPushButton *m_back;
    bool m_hasPicture = false;
};

} // namespace tillgui
