#pragma once

#include <QLabel>
#include <QWidget>

// The task editor's controls are made the one way: named as the form designer numbered them,
// each caption with its keyboard letter and the control it leads to.
namespace kestrune::ui::editor {

template <class Widget>
Widget* makeControl(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

inline QLabel* makeLabel(QWidget* parent, const char* name, const char* text, QWidget* buddy) {
    auto* label = makeControl<QLabel>(parent, name);
    label->setText(QLatin1String(text));
    label->setBuddy(buddy);
    return label;
}

}  // namespace kestrune::ui::editor
