// Tool and ADM icon suites: the palette and the tool's icon.
#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

bool isPlugin(PluginRef self) { return self == host().pluginRef(); }

// --- "AI Tool Suite" --------------------------------------------------------

HostError HOSTAPI_CALL toolNumberFromName(const char* name, std::int16_t* number) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::tool, "tool number from name")) return fault;
  if (name == nullptr || number == nullptr)
    return host().violation("AI Tool Suite/tool number from name", "null argument");
  const std::vector<std::string>& names = host().objects().toolNames;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      *number = static_cast<std::int16_t>(i);
      return kNoError;
    }
  }
  return kNotFoundError;
}

HostError HOSTAPI_CALL addTool(PluginRef self, const char* name, const ToolData* data, std::int32_t options,
                               ToolHandle* tool) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::tool, "add tool")) return fault;
  if (!isPlugin(self) || name == nullptr || data == nullptr || tool == nullptr) {
    return host().violation("AI Tool Suite/add tool", "foreign plug-in or null argument");
  }
  AddedTool added;
  added.name = name;
  added.title = data->title != nullptr ? data->title : "";
  added.tooltip = data->tooltip != nullptr ? data->tooltip : "";
  added.reserved = data->reserved;
  added.sameGroupAs = data->sameGroupAs;
  added.sameToolSetAs = data->sameToolSetAs;
  added.options = options;
  host().record().tools.push_back(added);
  std::vector<std::string>& names = host().objects().toolNames;
  names.push_back(name);
  *tool = makeHandle<ToolHandle>(kToolBase, names.size() - 1);
  return kNoError;
}

// --- "ADM Icon Suite" -------------------------------------------------------

// An injected fault makes the host answer with no icon.
IconHandle HOSTAPI_CALL iconFromResource(PluginRef self, std::int32_t kind, std::int32_t resourceId) {
  const HostCodeScope hostCode;
  if (host().enter(SuiteId::admIcon, "icon from resource") != kNoError) return nullptr;
  if (!isPlugin(self)) {
    host().violation("ADM Icon Suite/icon from resource", "foreign plug-in");
    return nullptr;
  }
  host().record().iconRequests.emplace_back(kind, resourceId);
  return makeHandle<IconHandle>(kIconBase, 0);
}

// The type the world sets; an injected fault, or no icon, answers "unknown".
std::int32_t HOSTAPI_CALL iconType(IconHandle icon) {
  const HostCodeScope hostCode;
  if (host().enter(SuiteId::admIcon, "icon type") != kNoError) return kIconTypeUnknown;
  if (!handleIndex(icon, kIconBase, 1)) return kIconTypeUnknown;
  return host().world().iconType;
}

}  // namespace

const ToolSuite kToolSuite{toolNumberFromName, addTool};
const AdmIconSuite kAdmIconSuite{iconFromResource, iconType};

}  // namespace swhost
