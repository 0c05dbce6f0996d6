#include "strings/ui/XmitFileDlg.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Cp1252.h"
#include "common/ui/DialogButtons.h"

namespace klv {

namespace {

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption,
                       const QString& hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TXmitFileDlg::TXmitFileDlg(TFileXmission& settings, IChannelServices& channels,
                           IChannelActivitySlots& activities, IMessageService& messages,
                           int outputSize, QWidget* parent)
    : QDialog(parent), settings_(settings), channels_(channels), messages_(messages) {
  setObjectName(QStringLiteral("XmitFileDlg"));
  setWindowTitle(QStringLiteral("Transmitt File"));
  setModal(true);
  transmitter_ = new TFileTransmitter(channels, activities, messages, outputSize, nullptr, this);

  ebFileName = new QLineEdit(this);
  ebFileName->setObjectName(QStringLiteral("ebFileName"));
  btnBrowse =
      NewButton(this, "btnBrowse", QStringLiteral("Browse"), QStringLiteral("Locate a file"));
  BtnTransmitt_1 = NewButton(this, "BtnTransmitt_1", QStringLiteral("1"),
                             QStringLiteral("Transmit selected file on channel 1"));
  BtnTransmitt_2 = NewButton(this, "BtnTransmitt_2", QStringLiteral("2"),
                             QStringLiteral("Transmit selected file on channel 2"));
  btnAbort =
      NewButton(this, "btnAbort", QStringLiteral("Abort"), QStringLiteral("Abort transmission"));
  btnAbort->setEnabled(false);
  Progress = new QProgressBar(this);
  Progress->setRange(0, 1000);
  Progress->setValue(0);
  Progress->setTextVisible(false);
  PanelProgress = new QLabel(this);
  PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
  PanelProgress->setMinimumWidth(320);
  const TDialogButtons buttons = MakeDialogButtons(this, THelpContext::StringLibrary);
  OKBtn = buttons.OK;
  CancelBtn = buttons.Cancel;

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("File"), this), 0, 0);
  grid->addWidget(ebFileName, 0, 1, 1, 3);
  grid->addWidget(btnBrowse, 0, 4);
  grid->addWidget(new QLabel(QStringLiteral("Transmit on channel"), this), 1, 0);
  grid->addWidget(BtnTransmitt_1, 1, 1);
  grid->addWidget(BtnTransmitt_2, 1, 2);
  grid->addWidget(btnAbort, 1, 4);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(Progress);
  layout->addWidget(PanelProgress);
  layout->addLayout(buttons.Row);

  ChooseFile = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Transmitt File"), ebFileName->text(),
                                        QStringLiteral("Any file (*)"));
  };
  connect(btnBrowse, &QPushButton::clicked, this, [this] {
    const QString name = ChooseFile();
    if (!name.isEmpty())
      ebFileName->setText(QDir::toNativeSeparators(name));
  });
  connect(BtnTransmitt_1, &QPushButton::clicked, this, [this] { Transmit(0); });
  connect(BtnTransmitt_2, &QPushButton::clicked, this, [this] { Transmit(1); });
  connect(btnAbort, &QPushButton::clicked, transmitter_, &TFileTransmitter::Abort);
  connect(OKBtn, &QPushButton::clicked, this, &TXmitFileDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TXmitFileDlg::reject);
  connect(transmitter_, &TFileTransmitter::Progress, this, &TXmitFileDlg::ShowProgress);
  connect(transmitter_, &TFileTransmitter::Finished, this, &TXmitFileDlg::UpdateButtons);
}

void TXmitFileDlg::showEvent(QShowEvent* event) {
  if (!Busy())
    ebFileName->setText(Cp1252ToQString(settings_.FileName.view()));
  UpdateButtons();
  QDialog::showEvent(event);
}

void TXmitFileDlg::UpdateButtons() {
  const bool busy = Busy();
  for (QWidget* control : {static_cast<QWidget*>(OKBtn), static_cast<QWidget*>(CancelBtn),
                           static_cast<QWidget*>(btnBrowse), static_cast<QWidget*>(ebFileName)})
    control->setEnabled(!busy);
  BtnTransmitt_1->setEnabled(!busy && channels_.ChannelAvailable(0));
  BtnTransmitt_2->setEnabled(!busy && channels_.ChannelAvailable(1));
  btnAbort->setEnabled(busy);
  if (busy)
    btnAbort->setFocus();
}

void TXmitFileDlg::Transmit(int channel) {
  Progress->setValue(0);
  PanelProgress->clear();
  if (transmitter_->Start(ebFileName->text(), channel))
    ShowProgress(0, transmitter_->Size());
  UpdateButtons();
}

void TXmitFileDlg::ShowProgress(std::int64_t sent, std::int64_t size) {
  const std::int64_t ms = transmitter_->ElapsedMs();
  Progress->setValue(size > 0 ? static_cast<int>(std::min(sent, size) * 1000 / size) : 0);
  PanelProgress->setText(QStringLiteral("Transmitted bytes: %1 of %2  (%3 bytes/s)")
                             .arg(sent)
                             .arg(size)
                             .arg(ms > 0 ? sent * 1000 / ms : 0));
}

void TXmitFileDlg::accept() {
  if (Busy())
    return;
  // The record holds 79 bytes of Windows-1252: a name that does not fit
  // whole would be remembered as another file, so it is not stored.
  const QString name = ebFileName->text();
  const std::string bytes = QStringToCp1252(name);
  if (bytes.size() > settings_.FileName.Capacity() || Cp1252ToQString(bytes) != name)
    messages_.Information(
        QStringLiteral("The file name \"%1\" cannot be remembered: the settings hold at most "
                       "%2 characters of the Windows character set.\nThe previous name is kept.")
            .arg(name)
            .arg(settings_.FileName.Capacity()));
  else
    settings_.FileName.assign(bytes);
  QDialog::accept();
}

void TXmitFileDlg::reject() {
  if (!Busy())
    QDialog::reject();  // Escape does not close the dialog under a running transmission
}

}  // namespace klv
