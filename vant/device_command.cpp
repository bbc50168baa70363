#include "vant/commands.h"
#include "vant/exit_status.h"
#include "vant/output.h"
#include "vantsdk/device.h"
#include "vantsdk/result_codes.h"

namespace vant::cli {

int run_device(const GlobalOptions& global, bool json) {
  const std::string node = attach(global);
  DeviceTexts texts{};
  const uint32_t result = GetDeviceTexts(&texts);
  // Each text is cut to fit and still terminated; a cut one is shown as is.
  if (result != kBufferTooSmall) check_result(result, "reading the modem's identity");
  print_document({{"node", node},
                  {"model", texts.text1},
                  {"firmware_revision", texts.text2},
                  {"imei", texts.text3}},
                 json);
  return kExitOk;
}

}  // namespace vant::cli
