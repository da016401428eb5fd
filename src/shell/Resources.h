#pragma once

#include <QIcon>
#include <QString>

namespace q5n {

// Registers the program's own resources (icons, the user guide). The core is
// a static library, so its resources must be pulled in explicitly; the main
// window calls this, and so may anything that needs them earlier. Safe to
// call more than once.
void initResources();

// An icon of the program's own set (":/icons/<name>.svg"), or the desktop
// theme's icon `themeName` when the theme has one.
QIcon programIcon(const QString &name, const QString &themeName = {});

// Resource path of the user guide.
inline const QString kHelpDocument = QStringLiteral("qrc:/help/q5ncfg.html");

} // namespace q5n
