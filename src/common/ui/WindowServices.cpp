#include "common/ui/WindowServices.h"

namespace klv {
namespace {

IWindowServices* services = nullptr;

}  // namespace

void SetWindowServices(IWindowServices* newServices) {
  services = newServices;
}

IWindowServices* WindowServices() {
  return services;
}

}  // namespace klv
