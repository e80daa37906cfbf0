// The substitute host (host.h): one host at a time serving suite calls, each
// call checked on entry (suite held, injected fault matched, logged), the
// plug-in's entry point called with its code marked as running, and a broken
// contract recorded and, in strict mode, reported where it happens.
#include "host/host.h"

#include <cstdlib>
#include <stdexcept>

#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {
Host* gActive = nullptr;
BreachHandler gStrictByDefault;

// Calls the plug-in's entry point: its own code runs until it returns.
HostError callEntry(PluginEntry entry, const char* caller, const char* selector, void* message) {
  const PluginCodeScope pluginCode;
  return entry(caller, selector, message);
}
}  // namespace

BreachHandler setStrictByDefault(BreachHandler onBreach) {
  BreachHandler previous = std::move(gStrictByDefault);
  gStrictByDefault = std::move(onBreach);
  return previous;
}

Host::Host(World world)
    : world_(std::move(world)),
      document_(world_.paths),
      objects_(std::make_unique<Objects>()),
      onBreach_(gStrictByDefault) {
  if (gActive != nullptr) throw std::logic_error("a substitute host is already serving suite calls");
  gActive = this;
  document_.setHistoryBound(world_.history);
  objects_->toolNames = world_.tools;
  for (const std::string& name : world_.menuGroups) record_.menuGroups.push_back(MenuGroup{name, std::nullopt, 0});
  applyKeyState(false);
}

void Host::setShift(bool down) {
  shift_ = down;
  applyKeyState(down);
}

void Host::setView(float originX, float originY, float zoom) {
  world_.originX = originX;
  world_.originY = originY;
  world_.zoom = zoom;
}

Host::~Host() {
  for (void* block : blocks_) std::free(block);
  gActive = nullptr;
}

Host* Host::active() { return gActive; }

PluginRef Host::pluginRef() const { return makeHandle<PluginRef>(kPluginBase, 0); }

std::size_t Host::liveStrings() const { return objects_->strings.size(); }
std::size_t Host::liveMatchingAnswers() const { return objects_->answers.size(); }

bool Host::annotatorActive() const {
  for (const Objects::Annotator& annotator : objects_->annotators) {
    if (annotator.active) return true;
  }
  return false;
}

std::map<std::string, std::int64_t> Host::heldSuites() const {
  std::map<std::string, std::int64_t> held;
  for (int i = 0; i < kOfferedSuiteCount; ++i) held[offeredSuite(i).name] = acquired_[i] - released_[i];
  return held;
}

void Host::log(std::string call) {
  ++record_.callCount;
  if (world_.recordCalls) record_.calls.push_back(std::move(call));
}

HostError Host::applyFaults(const std::string& call) {
  const std::int64_t nth = ++callsByName_[call];
  for (const Fault& fault : world_.faults) {
    if (fault.call == call && (fault.nth == 0 || fault.nth == nth)) return fault.error;
  }
  return kNoError;
}

HostError Host::enter(SuiteId suite, const char* operation) {
  // With no log to keep and no fault to match, the call's name is never
  // needed on the way through: only the count.
  const bool quiet = !world_.recordCalls && world_.faults.empty();
  if (quiet && held(suite) > 0) {
    ++record_.callCount;
    return kNoError;
  }
  std::string call = std::string(offeredSuite(suite).name) + "/" + operation;
  if (held(suite) <= 0) {
    log(call);
    violation(call, "called while the suite is not held");
    return kNotHeldError;
  }
  const HostError fault = world_.faults.empty() ? kNoError : applyFaults(call);
  log(std::move(call));
  return fault;
}

HostError Host::enterBasic(const char* operation, const char* detail) {
  std::string call = std::string(kBasicSuiteLogName) + "/" + operation;
  if (detail != nullptr) call += std::string(" ") + detail;
  const HostError fault = world_.faults.empty() ? kNoError : applyFaults(call);
  log(std::move(call));
  return fault;
}

HostError Host::violation(const std::string& call, const std::string& what) {
  record_.violations.push_back(Violation{call, what});
  if (onBreach_) {
    const std::size_t slash = call.find('/');
    const std::string suite = slash == std::string::npos ? std::string() : call.substr(0, slash);
    const std::string message = delivering_ != nullptr ? delivering_->caller + " / " + delivering_->selector : "";
    onBreach_(Breach{call, suite, message, what});
  }
  return kBadParameterError;
}

EventResult Host::deliver(const Event& event) {
  if (entry_ == nullptr) throw std::logic_error("no plug-in attached to the substitute host");
  if (event.shift) setShift(*event.shift);
  const std::size_t before = record_.callCount;
  const MessageHeader header{pluginRef(), globals_, &kBasicSuite};
  const char* caller = event.caller.c_str();
  const char* selector = event.selector.c_str();
  HostError result = kNoError;
  delivering_ = &event;
  struct Delivered {
    const Event*& delivering;
    ~Delivered() { delivering = nullptr; }
  } delivered{delivering_};

  if (event.caller == "AI Tool") {
    ToolMessage message{header, nullptr, event.point.value_or(ArtworkPoint{0.0f, 0.0f})};
    if (!record_.tools.empty()) message.tool = makeHandle<ToolHandle>(kToolBase, objects_->toolNames.size() - 1);
    // An undoable operation begins with a press of the mouse and ends with
    // its release; a press whose release never came goes on in the next.
    if (event.selector == "AI Mouse Down" && !pressed_) {
      document_.snapshot();
      pressed_ = true;
    }
    result = callEntry(entry_, caller, selector, &message);
    globals_ = message.header.globals;
    if (event.selector == "AI Mouse Up") pressed_ = false;
  } else if (event.caller == "AI Menu") {
    MenuMessage message{header, nullptr};
    for (std::size_t i = 0; event.item && i < record_.menuItems.size(); ++i) {
      if (record_.menuItems[i].text == *event.item) {
        message.menuItem = makeHandle<MenuItemHandle>(kMenuItemBase, i);
        break;
      }
    }
    result = callEntry(entry_, caller, selector, &message);
    globals_ = message.header.globals;
  } else if (event.caller == "AI Annotation") {
    AnnotatorMessage message{header, nullptr, makeHandle<DocumentViewHandle>(kViewBase, 0),
                             makeHandle<DrawerHandle>(kDrawerBase, 0)};
    if (!objects_->annotators.empty()) message.annotator = makeHandle<AnnotatorHandle>(kAnnotatorBase, 0);
    const bool drawing = event.selector == "AI Draw";
    if (drawing) {
      record_.drawing.clear();
      objects_->drawerValid = true;
      objects_->color = RgbColor{0, 0, 0};
      objects_->dash.clear();
    }
    result = callEntry(entry_, caller, selector, &message);
    objects_->drawerValid = false;
    globals_ = message.header.globals;
  } else {
    MessageHeader message = header;
    result = callEntry(entry_, caller, selector, &message);
    globals_ = message.globals;
  }

  // What a message changed outside a press ends with it, as a step of its own
  // or as part of the operation it continued.
  if (!pressed_) document_.endOperation();

  EventResult outcome{event.caller, event.selector, result, record_.callCount - before};
  record_.results.push_back(outcome);
  return outcome;
}

}  // namespace swhost
