#include "scanpanel.h"

#include "guitext.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tillgui {

ScanPanel::ScanPanel(QWidget *parent)
    : QWidget(parent), m_title(new QLabel), m_message(new QLabel), m_payment(new QLabel),
      m_picture(new QLabel), m_code(new QLineEdit), m_back(new QPushButton(guitext::text("Back")))
{
    QFont font = m_title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    m_title->setFont(font);
    m_title->setAlignment(Qt::AlignCenter);
    m_payment->setFont(font);
    m_payment->setAlignment(Qt::AlignCenter);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_picture->setAlignment(Qt::AlignCenter);
    // Enter in the field must not also press a default button of the dialog.
    m_back->setAutoDefault(false);

    auto *codeRow = new QFormLayout;
    codeRow->addRow(guitext::text("Code:"), m_code);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_payment);
    layout->addWidget(m_picture, 1);
    layout->addWidget(m_message);
    layout->addLayout(codeRow);
    layout->addLayout(buttons);

    connect(m_code, &QLineEdit::returnPressed, this, &ScanPanel::submit);
    connect(m_back, &QPushButton::clicked, this, &ScanPanel::backPressed);
}

void ScanPanel::prepare(const QString &title, const QString &message, const QString &picturePath,
                        const QString &payment)
{
    m_title->setText(title);
    m_payment->setText(payment);
    m_message->setText(message);
    // The plug-in's picture lives in its compiled-in resources, there once it is loaded.
    const QPixmap picture(picturePath);
    m_picture->setPixmap(picture);
    m_hasPicture = !picture.isNull();
    m_picture->setVisible(m_hasPicture);
    m_code->clear();
    m_code->setFocus();
}

QString ScanPanel::title() const
{
    return m_title->text();
}

QString ScanPanel::paymentText() const
{
    return m_payment->text();
}

QString ScanPanel::message() const
{
    return m_message->text();
}

bool ScanPanel::hasPicture() const
{
    return m_hasPicture;
}

void ScanPanel::submit()
{
    const QString code = m_code->text().trimmed();
    // A stray Enter, or a scan that brought nothing, sends no sale.
    if (!code.isEmpty())
        emit codeEntered(code);
}

} // namespace tillgui
