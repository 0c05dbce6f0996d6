// The library dialog on a library with 001 "Poll" and a name alone at 030:
// drags and pastes overwrite neither, OK keeps the changes, Cancel undoes
// them all.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <cstring>

#include "strings/ui/ReArrStrings.h"
#include "support/FakeMessageService.h"
#include "support/QuietServices.h"

namespace klv {
namespace {

struct NoTransmitter : IStringTransmitter {
  void TransmitLibraryString(int, int) override {}
  void RunLibraryScript(int, int) override {}
  void RunLibraryScriptCopy(int, int) override {}
};

TEST(ReArrStrings, DragAndPasteOnlyOntoEmptyCellsAndCancelUndoes) {
  for (const bool ok : {true, false}) {
    TStrngs before, live;
    SetLibraryDefaults(before);
    before.Strings[0].Str.assign("AB"), before.Strings[0].Name.assign("Poll");
    before.Strings[29].Name.assign("N");
    before.CurrentNr = 2;
    live = before;
    test::QuietServices channels;
    NoTransmitter transmitter;
    test::FakeMessageService messages;
    TReArrStrings dialog(live, transmitter, channels, messages);
    dialog.show();
    QTableWidget* grid = dialog.StringGrid;
    const auto drop = [&](int from, int to) {
      const QPoint at = grid->visualItemRect(grid->item(to % 25, to / 25)).center();
      std::unique_ptr<QMimeData> data(dialog.DragData(from));
      QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      QDropEvent dropped(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
      for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move})
        QApplication::sendEvent(grid->viewport(), event);
      QApplication::sendEvent(grid->viewport(), &dropped);
      return move.isAccepted();
    };
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_FALSE(drop(0, 29));  // a name without bytes is not empty
    EXPECT_TRUE(drop(0, 30));
    EXPECT_EQ(grid->item(0, 0)->text() + grid->item(5, 1)->text(), "001:031:Poll");
    EXPECT_FALSE(dialog.Paste1->isEnabled());
    grid->setCurrentCell(5, 1);
    dialog.Copy1->trigger();
    grid->setCurrentCell(4, 1);
    dialog.Paste1->trigger();
    grid->setCurrentCell(0, 0);
    dialog.Paste1->trigger();
    EXPECT_EQ(messages.Texts(), std::vector<QString>{"Destination is not empty"});
    EXPECT_EQ(grid->item(0, 0)->text() + grid->item(4, 1)->text(), "001:Poll030:N");
    (ok ? dialog.BitBtnOK : dialog.BitBtnCancel)->click();
    EXPECT_EQ(live.CurrentNr, ok ? 0 : 2);
    EXPECT_EQ(QString::fromLatin1(live.Strings[30].Name.view()), ok ? "Poll" : "");
    EXPECT_EQ(ok, std::memcmp(&live, &before, sizeof live) != 0);
  }
}

}  // namespace
}  // namespace klv
