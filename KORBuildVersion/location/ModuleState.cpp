// The single definition of the process-wide state, and the per-thread report buffers.
#include "location/ModuleState.h"

#include <cstring>
#include <new>

#include "report/ReportQueries.h"

namespace korflowid {

ModuleState moduleState;

ModuleState::~ModuleState() {
  delete reportCache.load(std::memory_order_acquire);
}

void FlowVersionText::assign(std::string_view head, std::string_view tail) {
  // Both pieces come out of one root buffer, so they fit; the bound only keeps a misuse inside.
  head = head.substr(0, sizeof bytes_);
  tail = tail.substr(0, sizeof bytes_ - head.size());
  if (!head.empty()) std::memmove(bytes_, head.data(), head.size());
  if (!tail.empty()) std::memmove(bytes_ + head.size(), tail.data(), tail.size());
  length_ = head.size() + tail.size();
}

namespace {

/// One per thread that has asked for it; a text handed to one thread is never written by another.
struct ThreadReportBuffer {
  char* bytes = nullptr;
  ThreadReportBuffer() = default;
  ThreadReportBuffer(const ThreadReportBuffer&) = delete;
  ThreadReportBuffer& operator=(const ThreadReportBuffer&) = delete;
  ~ThreadReportBuffer() { delete[] bytes; }
};

thread_local ThreadReportBuffer threadReportBuffer;

}  // namespace

char* reportBufferOfThisThread(bool create) noexcept {
  char*& bytes = threadReportBuffer.bytes;
  if (bytes == nullptr && create) bytes = new (std::nothrow) char[kReportBufferSize]();
  return bytes;
}

}  // namespace korflowid
