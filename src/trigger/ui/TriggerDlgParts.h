// What the two trigger dialogs build alike: per-channel object names and the
// drop-down list of the 100 library entries.
#pragma once

#include <QString>

#include "strings/StringLibrary.h"

class QComboBox;

namespace klv {

// The widget named `name` followed by the channel's number (1 or 2).
template <typename W>
W* Named(W* widget, const char* name, int channel) {
  widget->setObjectName(QString::fromLatin1(name) + QString::number(channel + 1));
  return widget;
}

// "001 - Name" ... "100 - Name".
void FillLibraryList(QComboBox* list, const TStrngs& library);

}  // namespace klv
