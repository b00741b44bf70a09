#include "ui/product_links.h"

#include "store/help_document.h"

namespace kestrune::ui {

QString webAddress() {
    return QStringLiteral("https://" KESTRUNE_WEB_HOST);
}

QUrl versionCheckUrl() {
    return QUrl(webAddress() + QStringLiteral("/products/kestrune/vcheck.php?v=" KESTRUNE_VERSION));
}

QUrl helpFileUrl(const QString& executableFolder) {
    return QUrl::fromLocalFile(
        QString::fromStdString(helpDocumentPath(executableFolder.toStdString())));
}

}  // namespace kestrune::ui
