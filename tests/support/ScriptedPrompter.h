// A prompter for tests: records every call and answers from a queue.
#pragma once

#include "platform/ui/Prompter.h"

#include <QStringList>

#include <vector>

class ScriptedPrompter : public Prompter {
public:
    ScriptedPrompter() { install(this); }
    ~ScriptedPrompter() override { install(nullptr); }
    PromptAnswer ask(const PromptCall& call, QWidget* parent, QPrinter* printer) override;
    void push(PromptAnswer a) { m_queue.push_back(std::move(a)); }
    void pushButton(int button) { push(PromptAnswer{button, true, {}}); }
    void pushText(const QString& t, bool accepted = true) { push(PromptAnswer{MsgResult::OK, accepted, t}); }
    std::vector<PromptCall> calls;
    QStringList texts() const;

private:
    std::vector<PromptAnswer> m_queue;
};
