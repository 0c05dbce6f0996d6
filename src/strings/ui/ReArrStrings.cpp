#include "strings/ui/ReArrStrings.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/ui/DialogButtons.h"

namespace klv {
namespace {

// A dragged library entry and the grid it comes from.
class TEntryDrag : public QMimeData {
 public:
  TEntryDrag(const QObject* grid, int index) : Grid(grid), Index(index) {
    setData(QStringLiteral("application/x-kelvora-library-entry"), QByteArray::number(index));
  }
  const QObject* const Grid;
  const int Index;
};

// The grid's drag and drop, keys and popup menu, handed to the dialog.
class TLibraryTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  std::function<QMimeData*(int)> MakeDrag;
  std::function<bool(int, int)> MayDrop;
  std::function<void(int, int)> Dropped;
  std::function<bool(int)> KeyTaken;
  std::function<void(QPoint)> Popup;

  int IndexAt(QPoint at) const {
    const QModelIndex cell = indexAt(at);
    return cell.isValid() ? TLibraryGrid::Index(cell.column(), cell.row()) : -1;
  }

 protected:
  void startDrag(Qt::DropActions) override {
    if (!currentIndex().isValid())
      return;
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeDrag(TLibraryGrid::Index(currentColumn(), currentRow())));
    drag->exec(Qt::MoveAction);
  }
  // The entry dragged from this grid onto an entry it may go to, or null.
  const TEntryDrag* Accepted(QDropEvent* event) const {
    const auto* source = dynamic_cast<const TEntryDrag*>(event->mimeData());
    const bool ok = source != nullptr && source->Grid == this &&
                    MayDrop(source->Index, IndexAt(event->position().toPoint()));
    event->setDropAction(Qt::MoveAction);
    event->setAccepted(ok);
    return ok ? source : nullptr;
  }
  void dragEnterEvent(QDragEnterEvent* event) override {
    const auto* source = dynamic_cast<const TEntryDrag*>(event->mimeData());
    event->setAccepted(source != nullptr && source->Grid == this);
  }
  void dragMoveEvent(QDragMoveEvent* event) override { Accepted(event); }
  void dropEvent(QDropEvent* event) override {
    if (const TEntryDrag* source = Accepted(event))
      Dropped(source->Index, IndexAt(event->position().toPoint()));
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
      if (KeyTaken(event->key()))
        return;
    }
    QTableWidget::keyPressEvent(event);
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    Popup(event->reason() == QContextMenuEvent::Mouse ? event->pos()
                                                      : visualRect(currentIndex()).center());
  }
};

QAction* NewAction(QWidget* owner, const char* name, const QString& text, const QKeySequence& key) {
  auto* action = new QAction(text, owner);
  action->setObjectName(QLatin1String(name));
  action->setShortcut(key);
  action->setShortcutContext(Qt::WidgetShortcut);
  owner->addAction(action);
  return action;
}

}  // namespace

TReArrStrings::TReArrStrings(TStrngs& library, IStringTransmitter& transmitter,
                             IChannelServices& channels, IMessageService& messages, QWidget* parent)
    : QDialog(parent),
      library_(library),
      transmitter_(transmitter),
      channels_(channels),
      messages_(messages),
      grid_(library) {
  setObjectName(QStringLiteral("TReArrStrings"));
  setWindowTitle(QStringLiteral("String library"));

  auto* table = new TLibraryTable(TLibraryGrid::kRows, TLibraryGrid::kColumns, this);
  StringGrid = table;
  StringGrid->setObjectName(QStringLiteral("StringGrid"));
  StringGrid->horizontalHeader()->hide();
  StringGrid->verticalHeader()->hide();
  StringGrid->verticalHeader()->setMinimumSectionSize(1);
  StringGrid->verticalHeader()->setDefaultSectionSize(20);
  StringGrid->horizontalHeader()->setDefaultSectionSize(170);
  StringGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const int frame = 2 * StringGrid->frameWidth();
  StringGrid->setFixedSize(TLibraryGrid::kColumns * 170 + frame, TLibraryGrid::kRows * 20 + frame);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  StringGrid->setFont(font);
  StringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid->setDragEnabled(true);
  StringGrid->setAcceptDrops(true);
  StringGrid->setDragDropMode(QAbstractItemView::DragDrop);
  StringGrid->setDropIndicatorShown(false);
  StringGrid->setTabKeyNavigation(false);
  for (int row = 0; row < TLibraryGrid::kRows; ++row) {
    for (int column = 0; column < TLibraryGrid::kColumns; ++column) {
      auto* cell = new QTableWidgetItem;
      cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
      StringGrid->setItem(row, column, cell);
    }
  }

  const auto button = [this](const char* name, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
  };
  ButtonEditString =
      button("ButtonEditString", QStringLiteral("&Edit"), QStringLiteral("Edit current string"));
  BtnTransmitt_1 = button("BtnTransmitt_1", QStringLiteral("&1"),
                          QStringLiteral("Transmit current string on channel 1"));
  BtnTransmitt_2 = button("BtnTransmitt_2", QStringLiteral("&2"),
                          QStringLiteral("Transmit current string on channel 2"));
  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::StringLibrary);
  BitBtnOK = buttons.OK;
  BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
  BitBtnCancel = buttons.Cancel;
  BitBtnCancel->setObjectName(QStringLiteral("BitBtnCancel"));
  ButtonHelp = buttons.Help;
  ButtonHelp->setObjectName(QStringLiteral("ButtonHelp"));
  BtnPrtScr = buttons.PrintScreen;
  BtnPrtScr->setObjectName(QStringLiteral("BtnPrtScr"));

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Cut1 = NewAction(StringGrid, "Cut1", QStringLiteral("&Cut"), QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy1 =
      NewAction(StringGrid, "Copy1", QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 =
      NewAction(StringGrid, "Paste1", QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
  Delete1 =
      NewAction(StringGrid, "Delete1", QStringLiteral("Delete"), QKeySequence(Qt::Key_Delete));
  Edit1 =
      NewAction(StringGrid, "Edit1", QStringLiteral("Edit"), QKeySequence(Qt::CTRL | Qt::Key_E));
  PopupMenu1->addActions({Cut1, Copy1, Paste1, Delete1, Edit1});
  auto* editKey = new QAction(this);
  editKey->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F3));
  addAction(editKey);

  auto* actions = new QHBoxLayout;
  for (QWidget* w :
       std::initializer_list<QWidget*>{ButtonEditString, BtnTransmitt_1, BtnTransmitt_2})
    actions->addWidget(w);
  actions->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StringGrid);
  layout->addLayout(actions);
  layout->addLayout(buttons.Row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  table->MakeDrag = [this](int index) { return DragData(index); };
  table->MayDrop = [this](int from, int to) { return grid_.CanMove(from, to); };
  table->Dropped = [this](int from, int to) { Drop(from, to); };
  table->Popup = [this](QPoint at) { ShowPopup(at); };
  table->KeyTaken = [this](int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F5)
      PostTransmit(0);
    else if (key == Qt::Key_F7 && AutoTransmit)
      AutoTransmit();
    else
      return false;
    return true;
  };
  connect(StringGrid, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
    if (row >= 0 && column >= 0)
      library_.CurrentNr = static_cast<std::uint16_t>(TLibraryGrid::Index(column, row));
  });
  connect(StringGrid, &QTableWidget::cellDoubleClicked, this, [this] { PostTransmit(0); });
  connect(Cut1, &QAction::triggered, this, [this] { Apply(&TLibraryGrid::Cut); });
  connect(Copy1, &QAction::triggered, this, [this] { Apply(&TLibraryGrid::Copy); });
  connect(Paste1, &QAction::triggered, this, [this] { Apply(&TLibraryGrid::Paste); });
  connect(Delete1, &QAction::triggered, this, [this] { Apply(&TLibraryGrid::Delete); });
  connect(Edit1, &QAction::triggered, this, &TReArrStrings::Edit);
  connect(editKey, &QAction::triggered, this, &TReArrStrings::Edit);
  connect(ButtonEditString, &QPushButton::clicked, this, &TReArrStrings::Edit);
  connect(BtnTransmitt_1, &QPushButton::clicked, this, [this] { PostTransmit(0); });
  connect(BtnTransmitt_2, &QPushButton::clicked, this, [this] { PostTransmit(1); });
  connect(BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QMimeData* TReArrStrings::DragData(int index) const {
  return new TEntryDrag(StringGrid, index);
}

void TReArrStrings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous())
    return;
  BtnTransmitt_1->setEnabled(channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(channels_.ChannelAvailable(1));
  ButtonEditString->setEnabled(bool(EditString));
  Edit1->setEnabled(bool(EditString));
  grid_.ForgetClip();
  Paste1->setEnabled(false);
  backup_ = library_;
  FillGrid();
  StringGrid->setFocus();
}

void TReArrStrings::reject() {
  // Everything done since the dialog was shown, the current string and the
  // editor's changes included, is undone.
  library_ = backup_;
  QDialog::reject();
}

void TReArrStrings::FillGrid() {
  for (int index = 0; index < kLibraryEntries; ++index) {
    StringGrid->item(TLibraryGrid::Row(index), TLibraryGrid::Column(index))
        ->setText(grid_.CellText(index));
  }
  const int current = std::min<int>(library_.CurrentNr, kLibraryEntries - 1);
  StringGrid->setCurrentCell(TLibraryGrid::Row(current), TLibraryGrid::Column(current));
}

int TReArrStrings::Selected() const {
  if (StringGrid->currentRow() < 0 || StringGrid->currentColumn() < 0)
    return -1;
  return TLibraryGrid::Index(StringGrid->currentColumn(), StringGrid->currentRow());
}

void TReArrStrings::Apply(TLibraryGrid::TResult (TLibraryGrid::*operation)(int)) {
  if ((grid_.*operation)(Selected()) == TLibraryGrid::TResult::NotEmpty)
    messages_.Information(QStringLiteral("Destination is not empty"));
  Paste1->setEnabled(grid_.HasClip());
  FillGrid();
}

void TReArrStrings::Drop(int from, int to) {
  // The selection, and so the current string, stays on the source cell.
  grid_.Move(from, to);
  FillGrid();
}

void TReArrStrings::Edit() {
  if (!EditString)
    return;
  EditString();
  grid_.ForgetClip();
  Paste1->setEnabled(false);
  // The editor's OK may have made another string the current one.
  FillGrid();
}

void TReArrStrings::ShowPopup(const QPoint& at) {
  const QModelIndex cell = StringGrid->indexAt(at);
  if (cell.isValid())
    StringGrid->setCurrentCell(cell.row(), cell.column());
  Paste1->setEnabled(grid_.HasClip());
  PopupMenu1->popup(StringGrid->viewport()->mapToGlobal(at) + QPoint(20, 0));
}

void TReArrStrings::PostTransmit(int channel) {
  QMetaObject::invokeMethod(
      this, [this, channel] { Transmit(channel); }, Qt::QueuedConnection);
}

void TReArrStrings::Transmit(int channel) {
  const int index = Selected();
  if (index < 0 || !channels_.ChannelAvailable(channel))
    return;
  if (library_.Strings[static_cast<std::size_t>(index)].Syntax ==
      static_cast<std::uint8_t>(TStringSyntax::Script)) {
    transmitter_.RunLibraryScript(index, channel);
    FillGrid();
  } else {
    transmitter_.TransmitLibraryString(index, channel);
  }
}

}  // namespace klv
