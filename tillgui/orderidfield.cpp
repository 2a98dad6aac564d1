#include "orderidfield.h"

#include <QStyle>
#include <QStyleOptionFrame>

namespace tillgui {

OrderIdField::OrderIdField(const QString &text, QWidget *parent) : QLineEdit(text, parent)
{
    // The widest UUID in this font: 32 of the widest hexadecimal digit and four dashes.
    int widest = 0;
    for (const QChar digit : QStringLiteral("0123456789abcdef"))
        widest = qMax(widest, fontMetrics().horizontalAdvance(digit));
    const int textWidth = 32 * widest + 4 * fontMetrics().horizontalAdvance(QLatin1Char('-'));
    // What QLineEdit puts around its text: the frame, its own two-pixel margin on each side,
    // the text margins and the cursor.
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const QMargins margins = textMargins();
    setMinimumWidth(textWidth + 2 * (frame + 2) + margins.left() + margins.right() + 4);
}

QString OrderIdField::orderId() const
{
    return text().trimmed();
}

} // namespace tillgui
