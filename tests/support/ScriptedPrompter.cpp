#include "tests/support/ScriptedPrompter.h"

PromptAnswer ScriptedPrompter::ask(const PromptCall& call, QWidget*, QPrinter*)
{
    calls.push_back(call);
    if (m_queue.empty()) {
        // Unscripted: OK / Yes for questions would be dangerous in tests; answer the safe "No".
        PromptAnswer a;
        a.button = (call.flags & 0x0F) == MsgFlags::YesNo ? MsgResult::No : MsgResult::OK;
        a.accepted = false;
        if (call.kind == PromptKind::Message) a.accepted = true;
        return a;
    }
    PromptAnswer a = m_queue.front();
    m_queue.erase(m_queue.begin());
    return a;
}

QStringList ScriptedPrompter::texts() const
{
    QStringList l;
    for (const PromptCall& c : calls) l << c.text;
    return l;
}
