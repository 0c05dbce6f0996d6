#include "strings/ui/ImportDrlDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/ui/DialogButtons.h"
#include "strings/DrlImport.h"

namespace klv {
namespace {

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const QString& caption,
                       const QString& hint) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QLatin1String(name));
  box->setToolTip(hint);
  box->setChecked(true);
  return box;
}

}  // namespace

TImportDRLCfgDlg::TImportDRLCfgDlg(TConf& conf, IMessageService& messages, QWidget* parent)
    : QDialog(parent), conf_(conf), messages_(messages), staging_(std::make_unique<TConf>(conf)) {
  setObjectName(QStringLiteral("ImportDRLCfgDlg"));
  setWindowTitle(QStringLiteral("Import DRL configuration file"));
  setModal(true);

  cbIMportStringLibrary =
      NewCheckBox(this, "cbIMportStringLibrary", QStringLiteral("String Library"),
                  QStringLiteral("Import strings"));
  cbProtocolParameters =
      NewCheckBox(this, "cbProtocolParameters", QStringLiteral("Protocol Parameters"),
                  QStringLiteral("Import protocoll parameters"));
  cbStrNameSwCharConv = NewCheckBox(
      this, "cbStrNameSwCharConv", QStringLiteral("String name sw-char conversion"),
      QStringLiteral("Convert swedish characters in string name from IBM-PC character set to "
                     "Windows character set"));
  btnImport = new QPushButton(QStringLiteral("&Import"), this);
  btnImport->setObjectName(QStringLiteral("btnImport"));
  btnImport->setToolTip(QStringLiteral("Select DRL configuration file to import"));
  btnImport->setAutoDefault(false);
  MemoDbg = new QPlainTextEdit(this);
  MemoDbg->setObjectName(QStringLiteral("MemoDbg"));
  MemoDbg->setReadOnly(true);
  MemoDbg->setLineWrapMode(QPlainTextEdit::NoWrap);
  PanelNote = new QLabel(QStringLiteral("A limited number of parameters selected\n"
                                        "above, from a DRL configuration file may\n"
                                        "be imported into KLV.\n"
                                        "\n"
                                        "Other parameters must be set up manually.\n"
                                        "\n"
                                        "String checksum are not imported and must\n"
                                        "be recalculated by scrolling through all\n"
                                        "strings in the string editor, and then \n"
                                        "saved."),
                         this);
  PanelNote->setObjectName(QStringLiteral("PanelNote"));
  PanelNote->setAutoFillBackground(true);
  PanelNote->setMargin(6);
  QPalette notePalette = PanelNote->palette();
  notePalette.setColor(QPalette::Window, Qt::yellow);
  notePalette.setColor(QPalette::WindowText, Qt::black);
  PanelNote->setPalette(notePalette);
  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::Settings);
  OKBtn = buttons.OK;
  CancelBtn = buttons.Cancel;

  auto* choices = new QVBoxLayout;
  choices->addWidget(cbIMportStringLibrary);
  choices->addWidget(cbProtocolParameters);
  choices->addWidget(cbStrNameSwCharConv);
  choices->addWidget(btnImport);
  choices->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(choices);
  top->addWidget(PanelNote, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(MemoDbg, 1);
  layout->addLayout(buttons.Row);

  ChooseFile = [this] {
    QFileDialog dialog(this, QStringLiteral("Import DRL configuration file"));
    dialog.setObjectName(QStringLiteral("OpenDialogExpImp"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("DRL configuration *.DRL (*.DRL *.drl)"));
    dialog.setDefaultSuffix(QStringLiteral("DRL"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
      return QString();
    return dialog.selectedFiles().constFirst();
  };
  connect(btnImport, &QPushButton::clicked, this, &TImportDRLCfgDlg::ImportClick);
  connect(OKBtn, &QPushButton::clicked, this, &TImportDRLCfgDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TImportDRLCfgDlg::reject);
}

TImportDRLCfgDlg::~TImportDRLCfgDlg() = default;

void TImportDRLCfgDlg::showEvent(QShowEvent* event) {
  // Not when the window system shows it again (after minimising): that
  // would drop an import made meanwhile.
  if (!event->spontaneous())
    *staging_ = conf_;
  QDialog::showEvent(event);
}

void TImportDRLCfgDlg::ImportClick() {
  const QString file = ChooseFile();
  if (!file.isEmpty())
    ImportFile(file);
}

void TImportDRLCfgDlg::ImportFile(const QString& file) {
  // The whole name is used: a name cut short would read another file.
  if (messages_.Confirmation(
          QStringLiteral("Import DRL configuration file ") + file + QStringLiteral(" into KLV?"),
          TMsgButton::Yes | TMsgButton::No) != TMsgButton::Yes)
    return;
  TDrlImportChoice choice;
  choice.Strings = cbIMportStringLibrary->isChecked();
  choice.Parameters = cbProtocolParameters->isChecked();
  choice.ConvertNames = cbStrNameSwCharConv->isChecked();
  TDrlImportResult result;
  QString error;
  // A refused file has changed nothing, and the list keeps what it showed.
  if (!ImportDrlFile(*staging_, file, choice, result, &error)) {
    messages_.Error(error);
    return;
  }
  MemoDbg->clear();
  for (const QString& line : result.Names)
    MemoDbg->appendPlainText(line);
  if (!result.ParameterError.isEmpty())
    messages_.Error(result.ParameterError);
}

void TImportDRLCfgDlg::accept() {
  conf_ = *staging_;
  QDialog::accept();
}

}  // namespace klv
