#include "ui/shown_text.h"

#include <QDateTime>
#include <algorithm>

namespace kestrune::ui {

QString escapedControls(const QString& text) {
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::none_of(text.begin(), text.end(), isControl)) return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!isControl(c)) {
            shown += c;
        } else if (c == QLatin1Char('\n')) {
            shown += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\t')) {
            shown += QStringLiteral("\\t");
        } else if (c == QLatin1Char('\r')) {
            shown += QStringLiteral("\\r");
        } else {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        }
    }
    return shown;
}

QString pathBelow(const QString& path, const QString& folder) {
    QString base = folder;
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    if (folder.isEmpty() || path.size() <= base.size() + 1) return path;
    if (!path.startsWith(base) || path[base.size()] != QLatin1Char('/')) return path;
    return path.mid(base.size() + 1);
}

QString localTime(const std::string& utc) {
    const QString text = QString::fromStdString(utc);
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid()) return text;
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace kestrune::ui
