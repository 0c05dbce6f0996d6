// Menu items and tool buttons as the command objects make them. Each carries
// its component name as object name, so that later features find it by name.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QString>
#include <QToolButton>

namespace klv {

QAction* NewMenuItem(QObject* owner, const char* name, const QString& caption,
                     const QKeySequence& shortcut = {}, const QString& hint = {});
// `sticky` buttons stay down until pressed again.
QToolButton* NewToolButton(QWidget* parent, const char* name, const QString& text,
                           const QString& hint, bool sticky = false);

// Menu items and buttons whose feature is still to come: shown, disabled.
template <typename T>
T* Later(T* item) {
  item->setEnabled(false);
  return item;
}

}  // namespace klv
