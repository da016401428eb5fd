#pragma once

#include "platform/Prompter.h"

#include <QList>
#include <QQueue>

#include <functional>

namespace q5n::test {

// Records every box and dialog and answers from queues. A box with no queued
// answer gets its default button; a file dialog with no queued answer is
// cancelled.
class ScriptedPrompter : public Prompter
{
public:
    struct FileRequest
    {
        bool save;
        FileDialog dialog;
    };

    Button ask(const Message &message) override
    {
        messages.append(message);
        if (onAsk)
            onAsk(message);
        if (!answers.isEmpty())
            return answers.dequeue();
        return message.defaultButton != Button::None ? message.defaultButton : Button::Ok;
    }
    std::optional<QString> openFile(const FileDialog &dialog) override { return file(false, dialog); }
    std::optional<QString> saveFile(const FileDialog &dialog) override { return file(true, dialog); }

    // Queue a file dialog answer; nullopt = cancel.
    void queueFile(std::optional<QString> path) { fileAnswers.enqueue(std::move(path)); }

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QQueue<Button> answers;
    QQueue<std::optional<QString>> fileAnswers;
    std::function<void(const Message &)> onAsk;

private:
    std::optional<QString> file(bool save, const FileDialog &dialog)
    {
        fileRequests.append({save, dialog});
        if (fileAnswers.isEmpty())
            return std::nullopt;
        return fileAnswers.dequeue();
    }
};

} // namespace q5n::test
