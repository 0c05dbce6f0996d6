// The renderers of every display mode, made once and registered with the
// receive dispatcher, which picks one by the display mode and protocol.
#pragma once

#include "app/ReceiveDispatcher.h"
#include "display/P_hextty.h"
#include "protocol/P_ruvo94.h"

namespace klv {

struct TDisplayRenderers {
  TDisplayRenderers(const TConf& conf, IConsoleOutput& console, IChannelServices& channels,
                    ILogText& log)
      : HexTty(conf, console, channels, log), Ruvo(conf, console, channels, log) {}

  void RegisterWith(TReceiveDispatcher& dispatcher) {
    dispatcher.SetModeRenderer(TDisplayMode::HexAscii, &Hex);
    dispatcher.SetModeRenderer(TDisplayMode::Tty, &Tty);
    dispatcher.SetProtocolRenderer(TProtocolId::Ruvo94, &Ruvo94);
  }

  TProtocol_HexTTY HexTty;
  TProtocol_Ruvo94 Ruvo;
  THexAsciiRenderer Hex{HexTty};
  TTtyRenderer Tty{HexTty};
  TRuvo94Renderer Ruvo94{Ruvo, HexTty};
};

}  // namespace klv
