#include "StatusPanel.h"

#include <QAccessible>

StatusPanel::StatusPanel(QWidget *parent)
    : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(2);
}

void StatusPanel::setText(const QString &text)
{
    QLabel::setText(text);
    setAccessibleName(text);
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

int StatusPanel::wantedWidth() const
{
    const int minimum = pixelsFromHimetric(m_minWidth);
    switch (m_autoSize) {
    case sbrContents: return qMax(minimum, sizeHint().width());
    case sbrSpring: return minimum;
    default: return pixelsFromHimetric(m_width);
    }
}
