// The application object: the message loop of the user-interface thread and the filters that
// see every message before it is translated and dispatched.
#pragma once

#include <windows.h>

#include <vector>

namespace orv {

class Application {
 public:
  // A filter answers 0 to let the message go on to the next filter, 1 to stop the offering
  // (the message is still translated and dispatched), 2 when it consumed the message.
  using Filter = int (*)(MSG& message, void* context);

  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The one application object of the process (the most recently constructed one).
  static Application* Current();

  void AddFilter(Filter filter, void* context);       // at the end of the list
  void AddFilterFront(Filter filter, void* context);  // at its front
  void RemoveFilter(Filter filter, void* context);

  // Loops until WM_QUIT and returns its exit code.
  int Run();
  void Quit(int code);

  // Offers a message to the filters; true when one of them consumed it.
  bool Filtered(MSG& message);

 private:
  struct Entry {
    Filter filter;
    void* context;
  };
  std::vector<Entry> filters_;
  Application* previous_;
};

}  // namespace orv
