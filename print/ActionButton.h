// A push button bound to one of the form's actions: it shows the action's caption, follows its
// enabled and visible state, and a click triggers it (a disabled action does nothing).
#pragma once

#include <QAction>
#include <QObject>
#include <QPushButton>

inline void bindButtonToAction(QPushButton* button, QAction* action)
{
    const auto sync = [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
        button->setVisible(action->isVisible());
    };
    sync();
    QObject::connect(action, &QAction::changed, button, sync);
    QObject::connect(button, &QPushButton::clicked, action, [action] { action->trigger(); });
}
