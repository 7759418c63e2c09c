#include "toolkit/ui.h"

namespace orv {

std::vector<uint32_t> BoxButtonIds(uint32_t style) {
  switch (BoxButtons(style)) {
    case kBoxOk: return {kIdOk};
    case kBoxYesNoCancel: return {kIdYes, kIdNo, kIdCancel};
    case kBoxYesNo: return {kIdYes, kIdNo};
    default: return {};
  }
}

const char* BoxButtonLabel(uint32_t id) {
  for (const BoxButtonSlot& slot : kBoxButtonSlots) {
    if (slot.id == id) return slot.label;
  }
  return "";
}

}  // namespace orv
