#include "shell/Resources.h"

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initProgramResources()
{
    Q_INIT_RESOURCE(q5ncfg);
}

namespace q5n {

void initResources()
{
    static std::once_flag once;
    std::call_once(once, initProgramResources);
}

QIcon programIcon(const QString &name, const QString &themeName)
{
    initResources();
    const QIcon own(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    if (themeName.isEmpty())
        return own;
    return QIcon::fromTheme(themeName, own);
}

} // namespace q5n
