#include "ui/product_links.h"

#include "store/program_files.h"

namespace kestrune::ui {

QString webAddress() {
    return QStringLiteral("https://" KESTRUNE_WEB_HOST);
}

QUrl versionCheckUrl() {
    return QUrl(webAddress() + QStringLiteral("/products/kestrune/vcheck.php?v=" KESTRUNE_VERSION));
}

QUrl helpFileUrl(const QString& programFolder) {
    return QUrl::fromLocalFile(QString::fromStdString(helpPath(programFolder.toStdString())));
}

}  // namespace kestrune::ui
