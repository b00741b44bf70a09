#pragma once

#include <QString>
#include <QUrl>

namespace kestrune::ui {

// The product's web site, set at build time (KESTRUNE_WEB_HOST).
QString webAddress();
// The page that tells whether a newer version than this one exists.
QUrl versionCheckUrl();
// The help: kestrune.chm in the executable's folder (ends with "/") when it is there, else
// the help page installed with the program.
QUrl helpFileUrl(const QString& executableFolder);

}  // namespace kestrune::ui
