#include "StatusBar.h"

#include "AccessibleRole.h"

#include "errors/RuntimeError.h"

#include <QEvent>

StatusBar::StatusBar(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // A screen reader's command to read the status bar looks for this role; the panels stay its labels.
    setAccessibleRoleOfClass(metaObject()->className(), QAccessible::StatusBar);
}

StatusPanel &StatusBar::addPanel()
{
    auto *panel = new StatusPanel(this);
    m_panels.push_back(panel);
    layoutPanels();
    return *panel;
}

StatusPanel &StatusBar::Panels(qint16 index)
{
    if (index < 1 || index > panelCount())
        throw RuntimeError(ErrorNumber::IndexOutOfBounds);
    return *m_panels[size_t(index - 1)];
}

void StatusBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
}

bool StatusBar::event(QEvent *event)
{
    // A panel's text, and with it a contents-sized panel's width, may change at any time.
    if (event->type() == QEvent::LayoutRequest)
        layoutPanels();
    return QWidget::event(event);
}

void StatusBar::layoutPanels()
{
    int fixed = 0;
    int springs = 0;
    for (const StatusPanel *panel : m_panels) {
        if (panel->AutoSize() == StatusPanel::sbrSpring)
            ++springs;
        else
            fixed += panel->wantedWidth();
    }
    const int left = qMax(0, width() - FreeStripWidth - fixed);
    int x = 0;
    for (StatusPanel *panel : m_panels) {
        int w = panel->wantedWidth();
        if (panel->AutoSize() == StatusPanel::sbrSpring)
            w = qMax(w, left / springs);
        panel->setGeometry(x, 2, w, qMax(0, height() - 2));
        x += w;
    }
}
