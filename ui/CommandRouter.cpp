#include "ui/CommandRouter.h"

namespace tarvex {

CommandHandler* CommandRouter::HandlerOf(int id) const
{
    for (CommandHandler* h : {activeView_, document_, frame_, app_})
        if (h && h->CanHandle(id)) return h;
    return nullptr;
}

CommandState CommandRouter::State(int id) const
{
    CommandHandler* h = HandlerOf(id);
    return h ? h->Update(id) : CommandState{};
}

bool CommandRouter::Execute(int id)
{
    CommandHandler* h = HandlerOf(id);
    if (!h || !h->Update(id).enabled) return false;
    h->Execute(id);
    emit statesChanged();
    return true;
}

}  // namespace tarvex
