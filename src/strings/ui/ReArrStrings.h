// The library dialog: the 100 library strings in a grid of 4 columns by 25
// rows. Selecting a cell makes its string the current one; strings are moved
// by dragging them onto an empty cell, cut, copied, pasted and deleted with
// the grid's popup menu or its keys, edited, and transmitted on channel 1 or
// 2. Every change acts on the live library at once; Cancel brings back the
// library as it was when the dialog was shown.
#pragma once

#include <QDialog>
#include <functional>

#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "strings/LibraryGrid.h"

class QAction;
class QMenu;
class QMimeData;
class QPushButton;
class QTableWidget;

namespace klv {

class TReArrStrings : public QDialog {
  Q_OBJECT

 public:
  TReArrStrings(TStrngs& library, IStringTransmitter& transmitter, IChannelServices& channels,
                IMessageService& messages, QWidget* parent = nullptr);

  // The string editor on the current string. Without it the edit button
  // and items are disabled.
  std::function<void()> EditString;
  // The main window's AutoTransmit command (F7 in the grid).
  std::function<void()> AutoTransmit;

  // What a drag of entry `index` carries; the grid accepts only its own.
  QMimeData* DragData(int index) const;
  // Queues the transmission of the selected string on channel 0 or 1: the
  // button, key or click that asks for it returns first.
  void PostTransmit(int channel);
  // Every cell's text; the current string's cell is selected.
  void FillGrid();

  QTableWidget* StringGrid;
  QPushButton* ButtonEditString;
  QPushButton* BtnTransmitt_1;
  QPushButton* BtnTransmitt_2;
  QPushButton* BitBtnOK;
  QPushButton* BitBtnCancel;
  QPushButton* ButtonHelp;
  QPushButton* BtnPrtScr;
  QMenu* PopupMenu1;
  QAction* Cut1;
  QAction* Copy1;
  QAction* Paste1;
  QAction* Delete1;
  QAction* Edit1;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  int Selected() const;
  void Apply(TLibraryGrid::TResult (TLibraryGrid::*operation)(int));
  void Drop(int from, int to);
  void Edit();
  void ShowPopup(const QPoint& at);
  void Transmit(int channel);

  TStrngs& library_;
  IStringTransmitter& transmitter_;
  IChannelServices& channels_;
  IMessageService& messages_;
  TLibraryGrid grid_;
  TStrngs backup_{};
};

}  // namespace klv
