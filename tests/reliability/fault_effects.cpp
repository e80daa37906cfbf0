#include "tests/reliability/fault_effects.h"

namespace swrel {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

FaultEffect faultEffect(std::string_view call, std::string_view caller, std::string_view selector) {
  if (call == "SP Basic Suite/compare strings") return FaultEffect::misroute;
  if (startsWith(call, "ADM Icon Suite/")) return FaultEffect::noIcon;
  if (call == "AI Tool Suite/tool number from name") return FaultEffect::returnedOrNoIcon;
  if (startsWith(call, "SP Basic Suite/release suite ") || call == "SP Basic Suite/free block" ||
      call == "AI Unicode String Suite/dispose" || call == "AI MdMemory Suite/dispose handle" ||
      startsWith(call, "AI Annotator Drawer Suite/") || startsWith(call, "ADM Basic Suite/")) {
    return FaultEffect::ignored;
  }
  const bool tool = caller == "AI Tool";
  if (tool && selector == "AI Mouse Down" && call == "AI Art Suite/dispose art") return FaultEffect::ignored;
  if (tool && selector == "AI Mouse Up" && call == "AI Annotator Suite/set active") return FaultEffect::ignored;
  // The matching-art result is returned too: a host that fails the call
  // answers no match, and a mouse-down without a match returns that result.
  return FaultEffect::returned;
}

const char* effectName(FaultEffect effect) {
  switch (effect) {
    case FaultEffect::returned:
      return "returned";
    case FaultEffect::returnedOrNoIcon:
      return "returned (or '!ico')";
    case FaultEffect::ignored:
      return "ignored";
    case FaultEffect::noIcon:
      return "no icon";
    case FaultEffect::misroute:
      return "misrouted";
  }
  return "?";
}

}  // namespace swrel
