#include "strings/ui/StringEditDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

#include "common/Cp1252.h"
#include "common/ui/DialogButtons.h"
#include "display/ui/ConsoleWidget.h"

namespace klv {
namespace {

constexpr std::array<const char*, 5> kSyntaxNames = {"Global", "None", "Display Mode", "Protocol",
                                                     "Script"};
// The name of a syntax value; one with no meaning is taken as "None".
QLatin1String SyntaxName(int kind) {
  return QLatin1String(kSyntaxNames[static_cast<std::size_t>(kind >= 0 && kind <= 4 ? kind : 1)]);
}

constexpr int kCols = 69;
constexpr int kCharColumn = 53;

template <class Button>
Button* NewButton(QWidget* parent, const char* name, const char* text, const char* tip,
                  QKeySequence shortcut) {
  auto* button = new Button(parent);
  button->setObjectName(QLatin1String(name));
  button->setText(QString::fromLatin1(text));
  button->setToolTip(QString::fromLatin1(tip));
  button->setShortcut(shortcut);
  button->setFocusPolicy(Qt::NoFocus);  // the console keeps the focus
  return button;
}

QComboBox* NewBox(QWidget* parent, const char* name, const char* tip) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setToolTip(QString::fromLatin1(tip));
  return box;
}

QLabel* NewPanel(QWidget* parent, const char* name) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(QLatin1String(name));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  return panel;
}

QString Hex(std::uint8_t byte) {
  return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

char Shown(char c) {
  return static_cast<unsigned char>(c) < 32 ? '.' : c;
}

}  // namespace

TString_EditDlg::TString_EditDlg(TConf& conf, IChannelServices& channels, IMessageService& messages,
                                 QWidget* parent)
    : QDialog(parent),
      conf_(conf),
      channels_(channels),
      messages_(messages),
      editor_(conf, messages, channels) {
  setObjectName(QStringLiteral("TString_EditDlg"));
  setWindowTitle(QStringLiteral("String Editor"));
  setModal(true);

  StrEditor = new TColorConsole(this);
  StrEditor->setObjectName(QStringLiteral("StrEditor"));
  StrEditor->SetCols(kCols);
  // One row more than the 16 drawn: the console wraps after its last cell is
  // written, and on the last row that would scroll the dump.
  StrEditor->SetRows(17);
  TFixedFont font;
  font.Name = QStringLiteral("Fixedsys");
  StrEditor->SetFont(font);
  // Its copy item stays in the context menu; Ctrl+Shift+C belongs to the
  // main window's console.
  StrEditor->CopyAction()->setObjectName(QStringLiteral("StrEditorCopy"));
  StrEditor->CopyAction()->setShortcut(QKeySequence());
  cbStrNr = NewBox(this, "cbStrNr", "Select string by number");
  for (int i = 1; i <= kLibraryEntries; ++i)
    cbStrNr->addItem(QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')));
  cbStrName = NewBox(this, "cbStrName", "Select string by name");
  cbStrName->setMinimumContentsLength(20);
  sbEdit = NewButton<QToolButton>(this, "sbEdit", "Name", "Edit string name",
                                  QKeySequence(Qt::ALT | Qt::Key_E));
  ebStrName = new QLineEdit(this);
  ebStrName->setObjectName(QStringLiteral("ebStrName"));
  BitBtnEditOK = NewButton<QPushButton>(this, "BitBtnEditOK", "OK", "", QKeySequence());
  BitBtnEditCancel = NewButton<QPushButton>(this, "BitBtnEditCancel", "Cancel", "", QKeySequence());
  cbSyntax = NewBox(this, "cbSyntax", "Select string syntax check");
  sbUnlockSyntax =
      NewButton<QToolButton>(this, "sbUnlockSyntax", "Unlock", "Allow change of syntax check",
                             QKeySequence(Qt::ALT | Qt::Key_U));
  sbInputMode =
      NewButton<QToolButton>(this, "sbInputMode", "Hex/ASCII",
                             "Inputmode Hex or ASCII, TAB key may also be used", QKeySequence());
  BtnClearString = NewButton<QPushButton>(this, "BtnClearString", "Clear", "Erase string",
                                          QKeySequence(Qt::ALT | Qt::Key_L));
  BtnEraseString = NewButton<QPushButton>(this, "BtnEraseString", "Erase",
                                          "Erase entire string including name etc",
                                          QKeySequence(Qt::ALT | Qt::Key_R));
  BtnTransmitt_1 = NewButton<QPushButton>(this, "BtnTransmitt_1", "1", "Transmit on channel 1",
                                          QKeySequence(Qt::ALT | Qt::Key_1));
  BtnTransmitt_2 = NewButton<QPushButton>(this, "BtnTransmitt_2", "2", "Transmit on channel 2",
                                          QKeySequence(Qt::ALT | Qt::Key_2));
  PanelCursorPos = NewPanel(this, "PanelCursorPos");
  PanelEditMode = NewPanel(this, "PanelEditMode");
  PanelInputMode = NewPanel(this, "PanelInputMode");
  PanelSyntax = NewPanel(this, "PanelSyntax");
  PanelChecksum = NewPanel(this, "PanelChecksum");
  PanelChecksum->setStyleSheet(QStringLiteral("color: blue"));
  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::StringLibrary);
  OKBtn = buttons.OK;
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_O));
  OKBtn->setAutoDefault(false);
  OKBtn->setDefault(false);  // Enter is a byte for the string
  CancelBtn = buttons.Cancel;
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
  buttons.Help->setObjectName(QStringLiteral("ButtonHelp"));
  buttons.PrintScreen->setObjectName(QStringLiteral("BtnPrtScr"));

  auto* top = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{cbStrNr, cbStrName, sbEdit, ebStrName,
                                                    BitBtnEditOK, BitBtnEditCancel})
    top->addWidget(w);
  top->addStretch(1);
  top->addWidget(sbUnlockSyntax);
  top->addWidget(cbSyntax);
  auto* tools = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{sbInputMode, BtnClearString, BtnEraseString,
                                                    BtnTransmitt_1, BtnTransmitt_2})
    tools->addWidget(w);
  tools->addStretch(1);
  auto* panels = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{PanelCursorPos, PanelEditMode, PanelInputMode,
                                                    PanelSyntax, PanelChecksum})
    panels->addWidget(w, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(StrEditor, 1);
  layout->addLayout(tools);
  layout->addLayout(panels);
  layout->addLayout(buttons.Row);
  EditName(false);

  const auto select = [this](int index) { ShowIndex(index); };
  connect(cbStrNr, &QComboBox::activated, this, select);
  connect(cbStrName, &QComboBox::activated, this, select);
  connect(cbSyntax, &QComboBox::activated, this, [this](int index) {
    editor_.SetSyntax(index);
    Draw();
    StrEditor->setFocus();
  });
  connect(sbUnlockSyntax, &QToolButton::clicked, this, [this] {
    const bool yes =
        messages_.Confirmation(QStringLiteral("Allow syntax checking rules to be changed?"),
                               TMsgButton::Yes | TMsgButton::No) == TMsgButton::Yes;
    cbSyntax->setEnabled(yes);
    if (yes) {
      cbSyntax->setFocus();
      cbSyntax->showPopup();
    }
  });
  connect(sbInputMode, &QToolButton::clicked, this, [this] {
    editor_.ToggleInputMode();
    Draw();
  });
  connect(BtnClearString, &QPushButton::clicked, this, [this] {
    editor_.ClearString();
    Draw();
  });
  connect(BtnEraseString, &QPushButton::clicked, this, [this] {
    editor_.EraseString();
    cbStrName->setItemText(editor_.Shown(), QString());
    Draw();
  });
  connect(sbEdit, &QToolButton::clicked, this, [this] { EditName(true); });
  connect(BitBtnEditOK, &QPushButton::clicked, this, &TString_EditDlg::NameOK);
  connect(BitBtnEditCancel, &QPushButton::clicked, this, [this] { EditName(false); });
  for (const auto& [button, channel] : {std::pair{BtnTransmitt_1, 0}, {BtnTransmitt_2, 1}}) {
    connect(button, &QPushButton::clicked, this, [this, channel = channel] {
      editor_.Transmit(channel);
      Draw();
    });
  }
  connect(OKBtn, &QPushButton::clicked, this, &TString_EditDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TString_EditDlg::reject);

  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) {
    if (child != ebStrName)
      child->installEventFilter(this);
  }
}

void TString_EditDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    Begin();
}

void TString_EditDlg::Begin() {
  BtnTransmitt_1->setEnabled(channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(channels_.ChannelAvailable(1));
  const int global = conf_.Strngs.GlobalSyntax;
  cbSyntax->clear();
  cbSyntax->addItem(
      QStringLiteral("Global - [%1]").arg(SyntaxName(global >= 1 && global <= 3 ? global : 1)));
  for (std::size_t i = 1; i < kSyntaxNames.size(); ++i)
    cbSyntax->addItem(QLatin1String(kSyntaxNames[i]));
  editor_.Begin(conf_.Strngs);
  ebStrName->setMaxLength(static_cast<int>(TLibString{}.Name.Capacity()));
  StrEditor->Clear();
  cbStrName->clear();
  for (const TLibString& entry : editor_.Copy().Strings)
    cbStrName->addItem(Cp1252ToQString(entry.Name.view()));
  EditName(false);
}

void TString_EditDlg::ShowIndex(int index) {
  editor_.Show(index);
  Draw();
  StrEditor->setFocus();
}

void TString_EditDlg::Draw() {
  const TStringEditor& e = editor_;
  const std::string_view s = e.Entry().Str.view();
  const int len = e.Length();
  const TColor normal = StrEditor->Font().Color;
  const auto hexAt = [&](int i) {
    return i <= len ? Hex(static_cast<std::uint8_t>(s[static_cast<std::size_t>(i - 1)]))
                    : QStringLiteral("__");
  };
  StrEditor->Clear();
  for (int i = 1; i <= len; ++i) {
    const int row = (i - 1) / 16, k = (i - 1) % 16;
    StrEditor->SetFontColor(e.InChecksumRange(i) ? clBlue : normal);
    StrEditor->GotoXY(kCharColumn + k, row);
    StrEditor->WriteChar(Shown(s[static_cast<std::size_t>(i - 1)]));
    StrEditor->GotoXY(3 * k, row);
    StrEditor->WriteString(hexAt(i).toStdString());
  }
  const int cur = e.Cursor();
  const int row = (cur - 1) / 16, k = (cur - 1) % 16;
  StrEditor->SetFontColor(e.InChecksumRange(cur) ? clBlue : normal);
  if (e.HexInput() && e.Pending()) {
    StrEditor->SetFontColor(normal);
    StrEditor->GotoXY(3 * k, row);
    StrEditor->WriteString(std::string{e.PendingDigit(), ' '});
    StrEditor->SetFontColor(e.InChecksumRange(cur) ? clBlue : normal);
  }
  // The cursor cell, underlined, in the area not typed into; the caret in
  // the other.
  StrEditor->SetFontStyle(FontStyle::Underline);
  if (e.HexInput()) {
    StrEditor->GotoXY(kCharColumn + k, row);
    StrEditor->WriteChar(cur <= len ? Shown(s[static_cast<std::size_t>(cur - 1)]) : '_');
    StrEditor->GotoXY(3 * k + (e.Pending() ? 1 : 0), row);
  } else {
    StrEditor->GotoXY(3 * k, row);
    StrEditor->WriteString(hexAt(cur).toStdString());
    StrEditor->GotoXY(kCharColumn + k, row);
  }
  StrEditor->SetFontStyle(0);
  StrEditor->SetFontColor(normal);
  StrEditor->PlaceCaret();

  PanelCursorPos->setText(QStringLiteral("%1/%2").arg(cur).arg(len));
  PanelInputMode->setText(e.HexInput() ? QStringLiteral("Hex") : QStringLiteral("ASCII"));
  PanelEditMode->setText(e.InsertMode() ? QStringLiteral("Insert") : QStringLiteral("Overwrite"));
  {
    const QSignalBlocker b1(cbStrNr), b2(cbStrName), b3(cbSyntax);
    cbStrNr->setCurrentIndex(e.Shown());
    cbStrName->setCurrentIndex(e.Shown());
    cbSyntax->setCurrentIndex(e.Entry().Syntax);
  }
  cbSyntax->setEnabled(false);
  int kind = e.Entry().Syntax != 0 ? e.Entry().Syntax : e.Copy().GlobalSyntax;
  const int protocol =
      std::clamp<int>(conf_.Protocol.Selected, 0, static_cast<int>(ProtocolNames.size()) - 1);
  if (kind == 2 && conf_.DisplayMode == static_cast<std::uint8_t>(TDisplayMode::Protocol))
    kind = protocol != 0 ? 3 : 1;
  const QString name = kind == 3 ? QLatin1String(ProtocolNames[static_cast<std::size_t>(protocol)])
                                 : SyntaxName(kind >= 2 && kind <= 4 ? kind : 1);
  PanelSyntax->setText(QStringLiteral("Syntax: ") + name);
  PanelChecksum->setText(QStringLiteral("Checksum: ") + Hex(e.Checksum()));
}

bool TString_EditDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (editingName_) {
    if (key->key() != Qt::Key_Escape)
      return false;
    EditName(false);
    return true;
  }
  if (key->modifiers() & Qt::AltModifier)
    return false;  // the buttons' shortcuts
  static const std::pair<int, TEditorKey> keys[] = {
      {Qt::Key_Right, TEditorKey::Right},   {Qt::Key_Left, TEditorKey::Left},
      {Qt::Key_Down, TEditorKey::Down},     {Qt::Key_Up, TEditorKey::Up},
      {Qt::Key_Home, TEditorKey::Home},     {Qt::Key_End, TEditorKey::End},
      {Qt::Key_Insert, TEditorKey::Insert}, {Qt::Key_Delete, TEditorKey::Delete},
      {Qt::Key_Tab, TEditorKey::Tab},       {Qt::Key_Backtab, TEditorKey::Tab},
      {Qt::Key_PageUp, TEditorKey::PageUp}, {Qt::Key_PageDown, TEditorKey::PageDown},
      {Qt::Key_F5, TEditorKey::F5}};
  for (const auto& [code, editorKey] : keys) {
    if (key->key() == code) {
      editor_.Key(editorKey);
      Draw();
      return true;
    }
  }
  static const std::pair<int, char> controls[] = {
      {Qt::Key_Backspace, 8}, {Qt::Key_Return, 13}, {Qt::Key_Enter, 13}, {Qt::Key_Escape, 27}};
  std::string typed = QStringToCp1252(key->text());
  for (const auto& [code, c] : controls) {
    if (key->key() == code)
      typed.assign(1, c);
  }
  if (typed.empty())
    return false;
  for (const char c : typed) {
    if (editor_.Type(c))
      Draw();
  }
  return true;
}

void TString_EditDlg::EditName(bool on) {
  editingName_ = on;
  ebStrName->setText(on ? Cp1252ToQString(editor_.Entry().Name.view()) : QString());
  for (QWidget* w : std::initializer_list<QWidget*>{ebStrName, BitBtnEditOK, BitBtnEditCancel})
    w->setVisible(on);
  for (QWidget* w : std::initializer_list<QWidget*>{sbEdit, cbStrNr, cbStrName})
    w->setVisible(!on);
  BitBtnEditOK->setDefault(on);
  OKBtn->setEnabled(!on);
  CancelBtn->setEnabled(!on);
  if (on) {
    ebStrName->setFocus();
    return;
  }
  StrEditor->setFocus();
  Draw();
}

void TString_EditDlg::NameOK() {
  std::string name = QStringToCp1252(ebStrName->text());
  name.resize(std::min(name.size(), TLibString{}.Name.Capacity()));
  editor_.SetName(name);
  cbStrName->setItemText(editor_.Shown(), Cp1252ToQString(name));
  EditName(false);
}

void TString_EditDlg::accept() {
  editor_.Commit(conf_.Strngs);
  QDialog::accept();
}

}  // namespace klv
