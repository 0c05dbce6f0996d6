// What the two trigger dialogs build alike: per-channel object names and the
// drop-down list of the 100 library entries.
#pragma once

#include <QString>
#include <functional>

#include "strings/StringLibrary.h"

class QComboBox;
class QDialog;
class QPushButton;
class QTabWidget;
class QWidget;

namespace klv {

// The widget named `name` followed by the channel's number (1 or 2).
template <typename W>
W* Named(W* widget, const char* name, int channel) {
  widget->setObjectName(QString::fromLatin1(name) + QString::number(channel + 1));
  return widget;
}

// The top row ("&OK", "&Cancel", "&Apply Changes", Print Screen and Help on
// the triggers' help page) over the pages "Channel 1" and "Channel 2".
struct TTriggerFrame {
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;
  QPushButton* Apply = nullptr;
  QPushButton* PrintScreen = nullptr;
  QPushButton* Help = nullptr;
  QTabWidget* Pages = nullptr;
};
TTriggerFrame MakeTriggerFrame(QDialog* dialog, const std::function<QWidget*(int)>& buildPage);

// "001 - Name" ... "100 - Name".
void FillLibraryList(QComboBox* list, const TStrngs& library);

}  // namespace klv
