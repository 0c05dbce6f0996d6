// The two channel status bars: lined up whatever they show, and every panel
// says what it is for.
#include "app/ui/StatusBars.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QVBoxLayout>

#include "conf/ConfDefaults.h"

namespace klv {
namespace {

TEST(StatusBars, TheTwoBarsLineUpWhateverTheyShowAndEveryPanelHasATooltip) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  TChannelStatusBar first(0), second(1);
  layout->addWidget(&first);
  layout->addWidget(&second);
  TComEntry narrow{}, wide{};
  narrow.Port = 1;
  narrow.BaudIndex = 0;  // 110
  narrow.DataBits = 5;
  wide.Port = 16;
  wide.BaudIndex = 14;  // 115200
  wide.DataBits = 8;
  first.ShowParameters(narrow, "NL-", "/dev/ttyUSB0", {}, {});
  second.ShowParameters(wide, "NL>0AH", "", "closed", "COM16: cannot open");
  window.show();
  window.resize(1200, 80);
  QCoreApplication::processEvents();

  const auto panels = [](const TChannelStatusBar& bar) {
    return std::vector<const QWidget*>{
        bar.PanelChannel,  bar.PanelComPort, bar.PanelBaudRate, bar.PanelDataBits, bar.PanelParity,
        bar.PanelStopBits, bar.PanelNewLine, bar.PanelRTS,      bar.PanelDTR,      bar.PanelCTS,
        bar.PanelDSR,      bar.PanelDCD,     bar.PanelRI,       bar.pnTrig};
  };
  const auto top = panels(first);
  const auto bottom = panels(second);
  for (std::size_t i = 0; i < top.size(); ++i) {
    EXPECT_EQ(top[i]->x(), bottom[i]->x()) << i;
    EXPECT_EQ(top[i]->width(), bottom[i]->width()) << i;
    EXPECT_FALSE(top[i]->toolTip().isEmpty()) << i;
  }
  EXPECT_EQ(second.PanelComPort->text(), "COM16 closed");
  EXPECT_TRUE(second.PanelComPort->toolTip().startsWith("COM16: cannot open"));
  EXPECT_TRUE(first.PanelComPort->toolTip().startsWith("/dev/ttyUSB0"));
  const int widest = window.minimumSizeHint().width();
  second.HintPanel->setText(QString(400, 'h'));
  EXPECT_EQ(window.minimumSizeHint().width(), widest) << "a long hint never widens the window";
}

}  // namespace
}  // namespace klv
