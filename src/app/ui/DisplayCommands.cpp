#include "app/ui/DisplayCommands.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"

namespace klv {

TDisplayCommands::TDisplayCommands(TConf& conf, TConsole& console, TReceiveDispatcher& dispatcher,
                                   IMessageService& messages, QWidget* window)
    : QObject(window),
      conf_(conf),
      console_(console),
      dispatcher_(dispatcher),
      messages_(messages) {
  MenuDisplayTTY = NewMenuItem(this, "MenuDisplayTTY", QStringLiteral("&TTY"));
  MenuDisplayHexAscii = NewMenuItem(this, "MenuDisplayHexAscii", QStringLiteral("&Hex/ASCII"));
  MenuDisplayProtocoll = NewMenuItem(this, "MenuDisplayProtocoll", QStringLiteral("&Protocol"));
  MenuDisplayPause = NewMenuItem(this, "MenuDisplayPause", QStringLiteral("P&ause"), Qt::Key_F12);
  MenuDisplayPause->setCheckable(true);
  BtnTTY = NewToolButton(window, "BtnTTY", QStringLiteral("TTY"), QStringLiteral("TTY display"));
  BtnHexAscii = NewToolButton(window, "BtnHexAscii", QStringLiteral("Hex"),
                              QStringLiteral("Hex/ASCII Display"));
  BtnProtocoll = NewToolButton(window, "BtnProtocoll", QStringLiteral("Prot"),
                               QStringLiteral("Protocol Display"));
  BtnClearDisplay = NewToolButton(window, "BtnClearDisplay", QStringLiteral("Clear"),
                                  QStringLiteral("Clear display"));
  BtnPause = NewToolButton(window, "BtnPause", QStringLiteral("Pause"),
                           QStringLiteral("Pause - (F12)"), true);

  // Exactly one mode is checked and one mode button down.
  auto* items = new QActionGroup(this);
  auto* buttons = new QButtonGroup(this);
  for (QAction* item : {MenuDisplayTTY, MenuDisplayHexAscii, MenuDisplayProtocoll}) {
    item->setCheckable(true);
    items->addAction(item);
  }
  for (QToolButton* button : {BtnTTY, BtnHexAscii, BtnProtocoll}) {
    button->setCheckable(true);
    buttons->addButton(button);
  }

  const auto tty = [this] { SetDisplayMode(TDisplayMode::Tty); };
  const auto hex = [this] { SetDisplayMode(TDisplayMode::HexAscii); };
  connect(MenuDisplayTTY, &QAction::triggered, this, tty);
  connect(BtnTTY, &QToolButton::clicked, this, tty);
  connect(MenuDisplayHexAscii, &QAction::triggered, this, hex);
  connect(BtnHexAscii, &QToolButton::clicked, this, hex);
  connect(MenuDisplayProtocoll, &QAction::triggered, this, &TDisplayCommands::ProtocolDisplayClick);
  connect(BtnProtocoll, &QToolButton::clicked, this, &TDisplayCommands::ProtocolDisplayClick);
  connect(BtnClearDisplay, &QToolButton::clicked, this,
          [this] { SetDisplayMode(CurrentDisplayMode()); });
  connect(MenuDisplayPause, &QAction::triggered, this, &TDisplayCommands::PauseClick);
  connect(BtnPause, &QToolButton::clicked, this, &TDisplayCommands::PauseClick);
}

void TDisplayCommands::PlaceMenu(QMenuBar* bar) {
  QMenu* display = bar->addMenu(QStringLiteral("&Display"));
  display->addActions({MenuDisplayTTY, MenuDisplayHexAscii, MenuDisplayProtocoll});
  display->addSeparator();
  display->addAction(MenuDisplayPause);
}

void TDisplayCommands::PlaceButtons(QToolBar* bar) {
  for (QToolButton* button : {BtnTTY, BtnHexAscii, BtnProtocoll, BtnClearDisplay, BtnPause})
    bar->addWidget(button);
}

TDisplayMode TDisplayCommands::CurrentDisplayMode() const {
  return conf_.DisplayMode <= 2 ? static_cast<TDisplayMode>(conf_.DisplayMode)
                                : TDisplayMode::HexAscii;
}

void TDisplayCommands::SetDisplayMode(TDisplayMode mode) {
  emit DisplayClearing();
  conf_.DisplayMode = static_cast<std::uint8_t>(mode);
  console_.Clear();
  switch (mode) {
    case TDisplayMode::HexAscii:
      MenuDisplayHexAscii->setChecked(true);
      BtnHexAscii->setChecked(true);
      break;
    case TDisplayMode::Tty:
      MenuDisplayTTY->setChecked(true);
      BtnTTY->setChecked(true);
      break;
    case TDisplayMode::Protocol:
      MenuDisplayProtocoll->setChecked(true);
      BtnProtocoll->setChecked(true);
      break;
  }
  if (IDisplayRenderer* renderer = dispatcher_.ActiveRenderer())
    renderer->Reset();
  console_.PlaceCaret();
  emit DisplayModeChanged();
}

void TDisplayCommands::ProtocolDisplayClick() {
  if (conf_.Protocol.Selected == 0) {
    SetDisplayMode(CurrentDisplayMode());  // puts the mode buttons back
    messages_.Information(QStringLiteral("Please select a protocol first"));
  } else {
    SetDisplayMode(TDisplayMode::Protocol);
  }
}

void TDisplayCommands::PauseClick() {
  conf_.Paused = !conf_.Paused;
  ShowPause();
  emit PauseChanged();
}

void TDisplayCommands::ShowPause() {
  BtnPause->setChecked(conf_.Paused);
  MenuDisplayPause->setChecked(conf_.Paused);
}

}  // namespace klv
