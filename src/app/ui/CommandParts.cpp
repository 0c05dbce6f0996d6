#include "app/ui/CommandParts.h"

namespace klv {

QAction* NewMenuItem(QObject* owner, const char* name, const QString& caption,
                     const QKeySequence& shortcut, const QString& hint) {
  auto* item = new QAction(caption, owner);
  item->setObjectName(QString::fromLatin1(name));
  item->setShortcut(shortcut);
  item->setStatusTip(hint);
  return item;
}

QToolButton* NewToolButton(QWidget* parent, const char* name, const QString& text,
                           const QString& hint, bool sticky) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(text);
  button->setToolTip(hint);
  button->setStatusTip(hint);
  button->setFocusPolicy(Qt::NoFocus);
  button->setCheckable(sticky);
  return button;
}

}  // namespace klv
