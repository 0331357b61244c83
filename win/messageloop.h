#pragma once

#include <windows.h>

#include <vector>

namespace win {

// Something that may take a message before it is translated and dispatched
// (accelerators, dialog navigation). Returns true when it handled the message.
class MessageFilter {
  public:
    virtual ~MessageFilter() = default;
    virtual bool PreTranslateMessage(MSG& message) = 0;
};

// Something that runs when the queue has run empty (updating the state of toolbar
// buttons, say).
class IdleHandler {
  public:
    virtual ~IdleHandler() = default;
    virtual void OnIdle() = 0;
};

// The thread's message loop. Filters are tried newest first; idle handlers run once each
// time the queue becomes empty.
class MessageLoop {
  public:
    void AddMessageFilter(MessageFilter* filter);
    void RemoveMessageFilter(MessageFilter* filter);
    void AddIdleHandler(IdleHandler* handler);
    void RemoveIdleHandler(IdleHandler* handler);

    // Runs until WM_QUIT and returns its exit code (or -1 when GetMessage fails).
    int Run();

  private:
    bool PreTranslate(MSG& message);
    void RunIdleHandlers();

    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
};

} // namespace win
