#include "app/ui/StringCommands.h"

#include <QFileDialog>
#include <QMenuBar>
#include <QToolBar>

#include "app/ui/CommandParts.h"
#include "strings/LibraryFile.h"
#include "strings/ui/ReArrStrings.h"
#include "strings/ui/ScriptDlg.h"
#include "strings/ui/StringEditDlg.h"
#include "strings/ui/XmitFileDlg.h"

namespace klv {

TStringCommands::TStringCommands(TConf& conf, TChannels& channels, IMessageService& messages,
                                 IBeeper& beeper, QWidget* window)
    : QObject(window),
      conf_(conf),
      channels_(channels),
      messages_(messages),
      window_(window),
      transmitter_(conf, channels) {
  Rearrange1 = NewMenuItem(this, "Rearrange1", QStringLiteral("&Library"), Qt::Key_F2,
                           QStringLiteral("Copy, move and delete strings"));
  Edit1 = NewMenuItem(this, "Edit1", QStringLiteral("&Edit"), QKeySequence(Qt::ALT | Qt::Key_F3),
                      QStringLiteral("Edit string and name"));
  StringsTransmitt = NewMenuItem(this, "StringsTransmitt", QStringLiteral("&Transmit"), Qt::Key_F5,
                                 QStringLiteral("Transmitt current string"));
  StringsAutoTransmitt =
      NewMenuItem(this, "StringsAutoTransmitt", QStringLiteral("&AutoTransmit"), Qt::Key_F7,
                  QStringLiteral("Transmitt current string repeatedly"));
  StringsAutoTransmitt->setCheckable(true);
  StringsScriptTransmission = NewMenuItem(this, "StringsScriptTransmission",
                                          QStringLiteral("&Script Transmission"), Qt::Key_F9);
  const char* const names[] = {"StrSyntaxSelNone", "StrSyntaxSelDisplayMode",
                               "StrSyntaxSelProtocol"};
  const char* const captions[] = {"&None", "&Display Mode", "&Protocol"};
  for (int i = 0; i < 3; ++i) {
    QAction* item = NewMenuItem(this, names[i], QString::fromLatin1(captions[i]));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, i] {
      conf_.Strngs.GlobalSyntax = static_cast<std::uint8_t>(i + 1);
      ShowGlobalSyntax();
    });
    SyntaxItems.append(item);
  }
  StringsExport = NewMenuItem(this, "StringsExport", QStringLiteral("E&xport"));
  StringsImport = NewMenuItem(this, "StringsImport", QStringLiteral("I&mport"));
  ClearALLstrings1 = NewMenuItem(this, "ClearALLstrings1", QStringLiteral("&Clear ALL strings"));
  TransmittFile1 = NewMenuItem(this, "TransmittFile1", QStringLiteral("&Transmit File"));
  Transmitta250mSBreak1 = NewMenuItem(this, "Transmitta250mSBreak1",
                                      QStringLiteral("Transmitt a 250mS &Break On Channel 1"),
                                      QKeySequence(Qt::CTRL | Qt::Key_K));
  BtnTransmitt_1 = NewToolButton(window, "BtnTransmitt_1", QStringLiteral("1"),
                                 QStringLiteral("Transmit current string on channel 1"));
  BtnTransmitt_2 = NewToolButton(window, "BtnTransmitt_2", QStringLiteral("2"),
                                 QStringLiteral("Transmit current string on channel 2"));

  autoTransmitter_ = new TAutoTransmitter(
      conf, channels, channels, messages,
      [this] { transmitter_.TransmitCurrentString(TAutoTransmitter::kChannel); }, nullptr, this);
  // Scripts run from the transmit commands and from auto-transmission, on
  // the latter's activity slot; a failed or stopped script turns it off.
  scriptDlg_ =
      new TScriptStringTransmissionDlg(transmitter_, channels, channels, messages, beeper, window);
  transmitter_.SetScriptRunner(scriptDlg_);
  // A Ruvo-94 trigger's script answer makes its entry the current string.
  transmitter_.CurrentChanged = [this] { emit LibraryReplaced(); };
  scriptDlg_->Engine().SetHostActivity(autoTransmitter_);
  scriptDlg_->Engine().TurnAutoTransmitOff = [this] {
    if (!StringsAutoTransmitt->isChecked())
      return false;
    AutoTransmitClick();
    return true;
  };
  connect(StringsScriptTransmission, &QAction::triggered, this,
          [this] { scriptDlg_->RunScript(conf_.Strngs, 0, false, false); });
  editDlg_ = new TString_EditDlg(conf, channels, messages, window);
  editDlg_->SetScriptRunner(scriptDlg_);
  connect(Edit1, &QAction::triggered, this, &TStringCommands::EditClick);
  ChooseExportFile = [this] { return ChooseLibraryFile(true); };
  ChooseImportFile = [this] { return ChooseLibraryFile(false); };

  const auto transmit = [this](int channel) { transmitter_.TransmitCurrentString(channel); };
  connect(StringsTransmitt, &QAction::triggered, this, [transmit] { transmit(0); });
  connect(BtnTransmitt_1, &QToolButton::clicked, this, [transmit] { transmit(0); });
  connect(BtnTransmitt_2, &QToolButton::clicked, this, [transmit] { transmit(1); });
  // The menu has inverted the check mark already.
  connect(StringsAutoTransmitt, &QAction::triggered, this, &TStringCommands::SetAutoTransmit);
  connect(autoTransmitter_, &TAutoTransmitter::Ended, StringsAutoTransmitt,
          [this] { StringsAutoTransmitt->setChecked(false); });
  connect(Rearrange1, &QAction::triggered, this, &TStringCommands::LibraryClick);
  connect(StringsExport, &QAction::triggered, this, &TStringCommands::ExportClick);
  connect(StringsImport, &QAction::triggered, this, &TStringCommands::ImportClick);
  connect(ClearALLstrings1, &QAction::triggered, this, &TStringCommands::ClearAllClick);
  connect(Transmitta250mSBreak1, &QAction::triggered, this, &TStringCommands::BreakClick);
  connect(TransmittFile1, &QAction::triggered, this, &TStringCommands::TransmitFileClick);
  UpdateTransmitButtons();
}

void TStringCommands::PlaceStringsMenu(QMenuBar* bar) {
  // Alt+S opens Settings: this menu answers to Alt+R.
  QMenu* strings = bar->addMenu(QStringLiteral("St&rings"));
  strings->addActions(
      {Rearrange1, Edit1, StringsTransmitt, StringsAutoTransmitt, StringsScriptTransmission});
  QMenu* syntax = strings->addMenu(QStringLiteral("&Global String Syntax"));
  syntax->menuAction()->setObjectName(QStringLiteral("StrSyntaxSel"));
  syntax->addActions(SyntaxItems);
  strings->addSeparator();
  strings->addActions({StringsExport, StringsImport, ClearALLstrings1});
}

void TStringCommands::PlaceUtilitiesMenu(QMenuBar* bar) {
  QMenu* utilities = bar->addMenu(QStringLiteral("&Utilities"));
  utilities->addActions({TransmittFile1, Transmitta250mSBreak1});
}

void TStringCommands::PlaceButtons(QToolBar* bar) {
  bar->addWidget(BtnTransmitt_1);
  bar->addWidget(BtnTransmitt_2);
}

void TStringCommands::UpdateTransmitButtons() {
  BtnTransmitt_1->setEnabled(channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(channels_.ChannelAvailable(1));
  StringsTransmitt->setEnabled(BtnTransmitt_1->isEnabled());
  StringsScriptTransmission->setEnabled(BtnTransmitt_1->isEnabled() || BtnTransmitt_2->isEnabled());
  scriptDlg_->RefreshControls();
  TransmittFile1->setEnabled(BtnTransmitt_1->isEnabled() || BtnTransmitt_2->isEnabled());
  // Auto-transmission switched on by a record while channel 1 is closed
  // can still be switched off.
  StringsAutoTransmitt->setEnabled(BtnTransmitt_1->isEnabled() ||
                                   StringsAutoTransmitt->isChecked());
}

void TStringCommands::ShowGlobalSyntax() {
  for (int i = 0; i < SyntaxItems.size(); ++i)
    SyntaxItems[i]->setChecked(i + 1 == conf_.Strngs.GlobalSyntax);
}

void TStringCommands::BreakClick() {
  if (!channels_.ChannelAvailable(0)) {
    messages_.Information(QStringLiteral("The Primary Channel is not available"));
    return;
  }
  channels_.PrimaryPort.HoldBreak(5);
}

void TStringCommands::TransmitFileClick() {
  TXmitFileDlg dialog(conf_.FileXmission, channels_, channels_, messages_, TComPort::OutSize,
                      window_);
  dialog.exec();
}

// ---- auto-transmission -----------------------------------------------------

void TStringCommands::AutoTransmitClick() {
  SetAutoTransmit(!StringsAutoTransmitt->isChecked());
}

void TStringCommands::SetAutoTransmit(bool on) {
  if (on) {
    on = autoTransmitter_->Start(conf_.Strngs.CurrentNr);
  } else {
    autoTransmitter_->Stop();
    channels_.DiscardChannelOutput(TAutoTransmitter::kChannel);
  }
  StringsAutoTransmitt->setChecked(on);
  conf_.MiscBool.AutoTransmit = on;
  UpdateTransmitButtons();
}

void TStringCommands::ApplyAutoTransmit() {
  autoTransmitter_->Stop();
  StringsAutoTransmitt->setChecked(false);
  if (conf_.MiscBool.AutoTransmit)
    AutoTransmitClick();
  else
    UpdateTransmitButtons();
}

// ---- the library file --------------------------------------------------------

QString TStringCommands::ChooseLibraryFile(bool forExport) {
  QFileDialog dialog(window_);
  dialog.setNameFilter(QStringLiteral("KLV string library (*.Str)"));
  dialog.setDefaultSuffix(QStringLiteral("Str"));
  // Saving asks before it replaces a file; opening takes existing files only.
  dialog.setAcceptMode(forExport ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(forExport ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().front();
}

void TStringCommands::ExportClick() {
  const QString file = ChooseExportFile();
  if (file.isEmpty() ||
      messages_.Confirmation(QStringLiteral("Export string library to ") + file + '?',
                             TMsgButton::Yes | TMsgButton::No) != TMsgButton::Yes) {
    return;
  }
  QString error;
  if (!ExportLibrary(conf_.Strngs, file, &error))
    messages_.Error(error);
}

void TStringCommands::ImportClick() {
  const QString file = ChooseImportFile();
  if (file.isEmpty() ||
      messages_.Confirmation(
          QStringLiteral("Import ") + file + QStringLiteral(" into string library ?"),
          TMsgButton::Yes | TMsgButton::No) != TMsgButton::Yes) {
    return;
  }
  QString error;
  if (!ImportLibrary(conf_.Strngs, file, &error)) {
    messages_.Error(error);
    return;
  }
  LibraryLoaded();
}

void TStringCommands::ClearAllClick() {
  for (const char* question : {"Clear ALL strings in the string library?",
                               "Are you sure you want to clear ALL strings in string library?"}) {
    if (messages_.Confirmation(QString::fromLatin1(question), TMsgButton::Yes | TMsgButton::No) !=
        TMsgButton::Yes) {
      return;
    }
  }
  ClearLibrary(conf_.Strngs);
  LibraryLoaded();
  messages_.Information(QStringLiteral("All library strings have been cleared"));
}

void TStringCommands::EditClick() {
  editDlg_->exec();
  emit LibraryReplaced();
}

void TStringCommands::LibraryClick() {
  TReArrStrings dialog(conf_.Strngs, transmitter_, channels_, messages_, window_);
  // Modal to the main window only: the script dialog that a script string
  // transmitted from the grid brings up keeps its Stop button in reach.
  dialog.setWindowModality(Qt::WindowModal);
  if (Edit1->isEnabled())
    dialog.EditString = [this] { Edit1->trigger(); };
  dialog.AutoTransmit = [this] { AutoTransmitClick(); };
  dialog.exec();
  emit LibraryReplaced();
}

void TStringCommands::LibraryLoaded() {
  ShowGlobalSyntax();
  emit LibraryReplaced();
}

}  // namespace klv
