#include "app/ui/Channel.h"

#include "common/ui/DialogButtons.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace klv {

// ---------------------------------------------------------------------------
// TChannelDlg

namespace {

QStringList PortItems() {
  QStringList items;
  for (int n = 1; n <= TChannelDlg::kPortCount; ++n)
    items << QStringLiteral("COM %1").arg(n);
  return items;
}

// The short name of a device path: "/dev/ttyUSB0" shows as "ttyUSB0", a
// pseudo-terminal "/dev/pts/3" as "pts/3".
QString ShortDeviceName(const QString& device) {
  if (device.startsWith(QLatin1String("/dev/")))
    return device.mid(5);
  const qsizetype slash = device.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? device : device.mid(slash + 1);
}

// A list as tall as its rows, so that a choice of sixteen needs no scrolling.
void FitRows(QListWidget* list) {
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setFixedHeight(list->sizeHintForRow(0) * list->count() + 2 * list->frameWidth());
  list->setFixedWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                      list->fontMetrics().averageCharWidth() * 4);
}

// A stored value brought into 0..count-1, so a damaged record still selects
// something valid.
int ClampIndex(int value, int count) {
  return std::clamp(value, 0, count - 1);
}

}  // namespace

TChannelDlg::TChannelDlg(TConfigFile& config, IChannelPorts& ports, IMessageService& messages,
                         QWidget* parent)
    : QDialog(parent), config_(config), ports_(ports), messages_(messages) {
  setWindowTitle(QStringLiteral("Line parameters"));
  setModal(true);

  gbChannel1 = BuildChannelBox(1, channels_[0]);
  gbChannel2 = BuildChannelBox(2, channels_[1]);
  cbCh1Enabled = channels_[0].Enabled;
  rgPortSelCh1 = channels_[0].PortSel;
  lbBaudRateCh1 = channels_[0].BaudRate;
  lbParityCh1 = channels_[0].Parity;
  rgDataBitsCh1 = channels_[0].DataBits;
  rgStopBitsCh1 = channels_[0].StopBits;
  cbCh2Enabled = channels_[1].Enabled;
  rgPortSelCh2 = channels_[1].PortSel;
  lbBaudRateCh2 = channels_[1].BaudRate;
  lbParityCh2 = channels_[1].Parity;
  rgDataBitsCh2 = channels_[1].DataBits;
  rgStopBitsCh2 = channels_[1].StopBits;

  const TDialogButtons dialogButtons = MakeDialogButtons(this, THelpContext::Settings);
  OKBtn = dialogButtons.OK;
  CancelBtn = dialogButtons.Cancel;
  PrintScreenBtn = dialogButtons.PrintScreen;
  HelpBtn = dialogButtons.Help;
  connect(OKBtn, &QPushButton::clicked, this, &TChannelDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TChannelDlg::CancelBtnClick);

  auto* boxes = new QHBoxLayout;
  boxes->addWidget(gbChannel1);
  boxes->addWidget(gbChannel2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boxes);
  layout->addLayout(dialogButtons.Row);
  // As large as its controls need and no larger.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QGroupBox* TChannelDlg::BuildChannelBox(int channel, TChannelControls& controls) {
  auto* box = new QGroupBox(QStringLiteral("Channel %1").arg(channel), this);
  const QString suffix = QStringLiteral("Ch%1").arg(channel);

  controls.Enabled = new QCheckBox(QStringLiteral("Enabled"), box);
  controls.Enabled->setObjectName(QStringLiteral("cb%1Enabled").arg(suffix));
  controls.PortSel = new TRadioGroup(QStringLiteral("Com port selection"), PortItems(), 2, box);
  controls.PortSel->setObjectName(QStringLiteral("rgPortSel") + suffix);

  auto* baudBox = new QGroupBox(QStringLiteral("Baud rate"), box);
  controls.BaudRate = new QListWidget(baudBox);
  controls.BaudRate->setObjectName(QStringLiteral("lbBaudRate") + suffix);
  controls.BaudRate->setSelectionMode(QAbstractItemView::SingleSelection);
  (new QVBoxLayout(baudBox))->addWidget(controls.BaudRate);

  auto* parityBox = new QGroupBox(QStringLiteral("Parity"), box);
  controls.Parity = new QListWidget(parityBox);
  controls.Parity->setObjectName(QStringLiteral("lbParity") + suffix);
  controls.Parity->setSelectionMode(QAbstractItemView::SingleSelection);
  controls.Parity->addItems({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                             QStringLiteral("Mark"), QStringLiteral("Space")});
  (new QVBoxLayout(parityBox))->addWidget(controls.Parity, 0, Qt::AlignTop);
  for (const std::int32_t baud : BaudTable)
    controls.BaudRate->addItem(QString::number(baud));
  FitRows(controls.BaudRate);
  FitRows(controls.Parity);

  controls.DataBits = new TRadioGroup(
      QStringLiteral("Data bits"),
      {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")}, 2, box);
  controls.DataBits->setObjectName(QStringLiteral("rgDataBits") + suffix);
  controls.StopBits = new TRadioGroup(QStringLiteral("Stop bits"),
                                      {QStringLiteral("1"), QStringLiteral("2")}, 1, box);
  controls.StopBits->setObjectName(QStringLiteral("rgStopBits") + suffix);

  auto* lists = new QHBoxLayout;
  lists->addWidget(baudBox);
  lists->addWidget(parityBox);
  auto* bits = new QHBoxLayout;
  bits->addWidget(controls.DataBits);
  bits->addWidget(controls.StopBits);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(controls.Enabled);
  layout->addWidget(controls.PortSel);
  layout->addLayout(lists);
  layout->addLayout(bits);
  return box;
}

bool TChannelDlg::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate)
    FormActivate();
  return handled;
}

void TChannelDlg::FormActivate() {
  const TComparam& comparam = config_.Conf().Comparam;
  for (std::size_t i = 0; i < channels_.size(); ++i)
    FillChannel(comparam.Channel[i], channels_[i]);
}

void TChannelDlg::FillChannel(const TComEntry& entry, const TChannelControls& controls) {
  controls.Enabled->setChecked(entry.Enabled);

  // The stored port shows as soon as any port is usable, whether or not the
  // stored one is; with no usable port at all nothing is selected.
  const int storedPort = ClampIndex(entry.Port - 1, kPortCount);
  controls.PortSel->SetItemIndex(-1);
  for (int n = 1; n <= kPortCount; ++n) {
    QRadioButton* button = controls.PortSel->Button(n - 1);
    const QString device = ports_.PortDevice(n);
    QString caption = QStringLiteral("COM %1").arg(n);
    if (!device.isEmpty())
      caption += QStringLiteral("  ") + ShortDeviceName(device);
    button->setText(caption);
    button->setToolTip(device);
    const bool usable = ports_.PortUsable(n);
    button->setEnabled(usable);
    if (usable)
      controls.PortSel->SetItemIndex(storedPort);
  }

  controls.BaudRate->setCurrentRow(
      ClampIndex(entry.BaudIndex.get(), static_cast<int>(BaudTable.size())));

  controls.Parity->setCurrentRow(ClampIndex(entry.Parity, controls.Parity->count()));
  controls.DataBits->SetItemIndex(ClampIndex(entry.DataBits.get() - 5, controls.DataBits->Count()));
  controls.StopBits->SetItemIndex(ClampIndex(entry.StopBits.get() - 1, controls.StopBits->Count()));
}

std::optional<int> TChannelDlg::SelectedPort(const TChannelControls& controls) const {
  const int index = controls.PortSel->ItemIndex();
  if (index < 0)
    return std::nullopt;
  return index + 1;
}

// A control without a selection leaves its field as it was.
void TChannelDlg::ControlsToEntry(const TChannelControls& controls, TComEntry& entry) const {
  entry.Enabled = controls.Enabled->isChecked();
  if (const std::optional<int> port = SelectedPort(controls))
    entry.Port = static_cast<std::uint8_t>(*port);
  if (const int row = controls.BaudRate->currentRow(); row >= 0)
    entry.BaudIndex = static_cast<std::uint16_t>(row);
  if (const int row = controls.Parity->currentRow(); row >= 0)
    entry.Parity = static_cast<std::uint8_t>(row);
  if (const int index = controls.DataBits->ItemIndex(); index >= 0)
    entry.DataBits = static_cast<std::uint16_t>(index + 5);
  if (const int index = controls.StopBits->ItemIndex(); index >= 0)
    entry.StopBits = static_cast<std::uint16_t>(index + 1);
}

TPortChoice CheckPortChoice(const std::array<bool, 2>& enabled,
                            const std::array<std::optional<int>, 2>& ports) {
  // An enabled channel needs a port to open; with no usable port there is
  // no selection to store.
  if (enabled[0] && !ports[0])
    return TPortChoice::NoPort1;
  if (enabled[1] && !ports[1])
    return TPortChoice::NoPort2;
  if (enabled[0] && enabled[1] && ports[0] == ports[1])
    return TPortChoice::SamePort;
  return TPortChoice::Ok;
}

void TChannelDlg::OKBtnClick() {
  const std::array<bool, 2> enabled = {channels_[0].Enabled->isChecked(),
                                       channels_[1].Enabled->isChecked()};
  switch (CheckPortChoice(enabled, {SelectedPort(channels_[0]), SelectedPort(channels_[1])})) {
    case TPortChoice::NoPort1:
      messages_.Error(QString::fromLatin1(ChannelText::NoPort).arg(1));
      return;
    case TPortChoice::NoPort2:
      messages_.Error(QString::fromLatin1(ChannelText::NoPort).arg(2));
      return;
    case TPortChoice::SamePort:
      messages_.Error(QString::fromLatin1(ChannelText::SamePort));
      FormActivate();  // the stored parameters show again
      return;
    case TPortChoice::Ok:
      break;
  }

  TComparam& comparam = config_.Conf().Comparam;
  const TComparam before = comparam;
  for (std::size_t i = 0; i < channels_.size(); ++i)
    ControlsToEntry(channels_[i], comparam.Channel[i]);
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    const TComEntry& now = comparam.Channel[i];
    if (!now.Enabled || now.Port != before.Channel[i].Port)
      ports_.ClosePort(static_cast<int>(i));
  }
  accept();
}

void TChannelDlg::CancelBtnClick() {
  reject();
}

}  // namespace klv
