#include "AppIdentity.h"

#include <QApplication>

namespace AppIdentity {

QIcon icon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/hicolor/16x16/apps/cardpeek.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/hicolor/32x32/apps/cardpeek.png"), QSize(32, 32));
    return icon;
}

void apply() {
    QApplication::setApplicationName(QStringLiteral("Cardpeek"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setDesktopFileName(QStringLiteral("cardpeek"));
    QApplication::setWindowIcon(icon());
}

}  // namespace AppIdentity
