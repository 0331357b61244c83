#include "win/messageloop.h"

#include <algorithm>

namespace win {

void MessageLoop::AddMessageFilter(MessageFilter* filter) {
    filters_.push_back(filter);
}

void MessageLoop::RemoveMessageFilter(MessageFilter* filter) {
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

void MessageLoop::AddIdleHandler(IdleHandler* handler) {
    idleHandlers_.push_back(handler);
}

void MessageLoop::RemoveIdleHandler(IdleHandler* handler) {
    idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), handler),
                        idleHandlers_.end());
}

bool MessageLoop::PreTranslate(MSG& message) {
    // A filter may remove itself while it runs: walk a copy.
    std::vector<MessageFilter*> filters = filters_;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if ((*it)->PreTranslateMessage(message))
            return true;
    }
    return false;
}

void MessageLoop::RunIdleHandlers() {
    std::vector<IdleHandler*> handlers = idleHandlers_;
    for (IdleHandler* handler : handlers)
        handler->OnIdle();
}

int MessageLoop::Run() {
    MSG message = {};
    for (;;) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
            RunIdleHandlers();

        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == -1)
            return -1;
        if (result == 0)
            return static_cast<int>(message.wParam);
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace win
