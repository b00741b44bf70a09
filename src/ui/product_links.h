#pragma once

#include <QString>
#include <QUrl>

namespace kestrune::ui {

// The product's web site, set at build time (KESTRUNE_WEB_HOST).
QString webAddress();
// The page that tells whether a newer version than this one exists.
QUrl versionCheckUrl();
// The help file in the program folder (folder ends with "/").
QUrl helpFileUrl(const QString& programFolder);

}  // namespace kestrune::ui
