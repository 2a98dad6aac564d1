#include "confirmdialog.h"

#include "guitext.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tillgui {

const Qt::Key ConfirmDialog::ConfirmKey = Qt::Key_F9;

ConfirmDialog::ConfirmDialog(const QString &title, const QString &summary, const QString &warning,
                             const QString &action, QWidget *parent)
    : QDialog(parent), m_summary(new QLabel(summary)), m_warning(new QLabel(warning)),
      m_confirm(new QPushButton(QKeySequence(ConfirmKey).toString(QKeySequence::NativeText) +
                                QStringLiteral("  ") + action)),
      m_back(new QPushButton(guitext::text("Back")))
{
    setWindowTitle(title);
    QFont font = m_summary->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_summary->setFont(font);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_warning->setWordWrap(true);
    m_warning->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    m_warning->setVisible(!warning.isEmpty());
    auto *hint = new QLabel(guitext::text("Press %1 to confirm, Enter or Escape to go back")
                                .arg(QKeySequence(ConfirmKey).toString(QKeySequence::NativeText)));
    hint->setWordWrap(true);

    // Back is the default: Enter goes back. The confirming button is never the focus, so that
    // neither Enter nor Space can press it.
    m_back->setDefault(true);
    m_confirm->setAutoDefault(false);
    m_confirm->setFocusPolicy(Qt::NoFocus);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_confirm);
    buttons->addStretch();
    buttons->addWidget(m_back);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_warning);
    layout->addStretch();
    layout->addWidget(hint);
    layout->addLayout(buttons);
    connect(m_confirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_back, &QPushButton::clicked, this, &QDialog::reject);
    auto *shortcut = new QShortcut(QKeySequence(ConfirmKey), this);
    connect(shortcut, &QShortcut::activated, this, &QDialog::accept);
    // Within the till window's smallest size (800 x 600).
    resize(640, sizeHint().height());
    m_back->setFocus();
}

QString ConfirmDialog::summaryText() const
{
    return m_summary->text();
}

QString ConfirmDialog::warningText() const
{
    return m_warning->text();
}

} // namespace tillgui
