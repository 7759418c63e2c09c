#include "toolkit/win32/application.h"

#include <algorithm>

namespace orv {

namespace {
Application* g_current = nullptr;
}

Application::Application() : previous_(g_current) { g_current = this; }

Application::~Application() {
  if (g_current == this) g_current = previous_;
}

Application* Application::Current() { return g_current; }

void Application::AddFilter(Filter filter, void* context) { filters_.push_back({filter, context}); }

void Application::AddFilterFront(Filter filter, void* context) {
  filters_.insert(filters_.begin(), {filter, context});
}

void Application::RemoveFilter(Filter filter, void* context) {
  std::erase_if(filters_, [&](const Entry& e) { return e.filter == filter && e.context == context; });
}

bool Application::Filtered(MSG& message) {
  // A copy, so that a filter may add or remove filters while it runs.
  const std::vector<Entry> filters = filters_;
  for (const Entry& e : filters) {
    const int answer = e.filter(message, e.context);
    if (answer == 2) return true;
    if (answer == 1) return false;
  }
  return false;
}

int Application::Run() {
  for (;;) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      WaitMessage();
      continue;
    }
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got < 0) return -1;
    if (Filtered(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Application::Quit(int code) { PostQuitMessage(code); }

}  // namespace orv
