// Every message box of the wizard goes through showMessage, so tests can answer it without a click.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace quorv::wizard {

enum class MessageKind { Information, Warning, Question };

// The answer of a Question box: true for Yes/OK. Information and Warning boxes return true.
using MessageHook = std::function<bool(QWidget *parent, const QString &text, MessageKind kind)>;

// Shows text in a message box captioned "Quorvane" (or hands it to the installed hook).
bool showMessage(QWidget *parent, const QString &text, MessageKind kind = MessageKind::Information);

// Replaces the message box; an empty hook restores it. Returns the hook it replaced.
MessageHook setMessageHook(MessageHook hook);

} // namespace quorv::wizard
