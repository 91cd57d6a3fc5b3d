#include "platform/desktop/cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace quelm::desktop {
namespace {
int g_counter = 0;
bool g_hidden = false;
} // namespace

int ShowCursor(bool show) {
    g_counter += show ? 1 : -1;
    const bool hide = g_counter < 0;
    if (hide != g_hidden && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (hide)
            QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        else
            QGuiApplication::restoreOverrideCursor();
        g_hidden = hide;
    }
    return g_counter;
}

} // namespace quelm::desktop
