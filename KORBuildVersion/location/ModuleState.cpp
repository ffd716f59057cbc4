// The single definition of the process-wide state.
#include "location/ModuleState.h"

#include <cstring>
#include <type_traits>

namespace korflowid {

static_assert(std::is_trivially_destructible_v<ModuleState>,
              "the state must need no destructor: nothing of the module runs at exit or unload");

ModuleState moduleState;

void FlowVersionText::assign(std::string_view head, std::string_view tail) {
  // Both pieces come out of one root buffer, so they fit; the bound only keeps a misuse inside.
  head = head.substr(0, sizeof bytes_);
  tail = tail.substr(0, sizeof bytes_ - head.size());
  if (!head.empty()) std::memmove(bytes_, head.data(), head.size());
  if (!tail.empty()) std::memmove(bytes_ + head.size(), tail.data(), tail.size());
  length_ = head.size() + tail.size();
}

const IndexedReport* ReportCache::publish(std::string_view text, const IndexedReport& index) noexcept {
  if (text.size() >= sizeof text_) return nullptr;
  State expected = State::Empty;
  if (!state_.compare_exchange_strong(expected, State::Filling, std::memory_order_acquire)) return nullptr;
  std::memcpy(text_, text.data(), text.size());
  report_ = index;
  report_.text = std::string_view(text_, text.size());
  state_.store(State::Published, std::memory_order_release);
  return &report_;
}

}  // namespace korflowid
