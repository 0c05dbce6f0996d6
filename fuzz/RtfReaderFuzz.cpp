// Feeds arbitrary bytes to the RTF reader of the rich-text log. Whatever it
// makes of them must survive a round trip through the writer unchanged, and
// writing that again must give the same bytes.
#include <cstddef>
#include <cstdint>

#include "log/Rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  klv::TRtfDocument document;
  const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (!klv::ReadRtf(input, document))
    return 0;

  const QByteArray written = klv::WriteRtf(document);
  klv::TRtfDocument again;
  if (!klv::ReadRtf(written, again))
    __builtin_trap();
  if (!(again == document))
    __builtin_trap();
  if (klv::WriteRtf(again) != written)
    __builtin_trap();
  return 0;
}
