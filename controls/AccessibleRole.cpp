#include "AccessibleRole.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QWidget>

namespace {

QHash<QString, QAccessible::Role> &rolesByClass()
{
    static QHash<QString, QAccessible::Role> roles;
    return roles;
}

// Qt asks with the object's own class name first, then with each base class's.
QAccessibleInterface *accessibleWithRole(const QString &className, QObject *object)
{
    const auto found = rolesByClass().constFind(className);
    if (found == rolesByClass().constEnd() || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), *found);
}

} // namespace

void setAccessibleRoleOfClass(const char *className, QAccessible::Role role)
{
    static const bool installed = (QAccessible::installFactory(accessibleWithRole), true);
    Q_UNUSED(installed);
    rolesByClass().insert(QString::fromLatin1(className), role);
}
