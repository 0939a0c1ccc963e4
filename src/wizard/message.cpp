#include "wizard/message.h"

#include <QMessageBox>

namespace quorv::wizard {

namespace {
MessageHook &installedHook() {
    static MessageHook hook;
    return hook;
}
} // namespace

bool showMessage(QWidget *parent, const QString &text, MessageKind kind) {
    if (installedHook())
        return installedHook()(parent, text, kind);
    const QString caption = QStringLiteral("Quorvane");
    switch (kind) {
    case MessageKind::Question:
        return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    case MessageKind::Warning:
        QMessageBox::warning(parent, caption, text);
        return true;
    case MessageKind::Information:
        break;
    }
    QMessageBox::information(parent, caption, text);
    return true;
}

MessageHook setMessageHook(MessageHook hook) {
    MessageHook previous = std::move(installedHook());
    installedHook() = std::move(hook);
    return previous;
}

} // namespace quorv::wizard
