#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace partwright {

// Every message the window shows goes through here: a box titled "Partwright"
// with only an OK button, which waits for OK before it returns. `details`, when
// not empty, is offered as selectable text behind the box's details button.
//
// While a box is up the other windows take no input, as with a modal box, but
// a close request still reaches them (a modal box would swallow it), so the
// window can note it and close once the box is answered (WhenMessagesAnswered).
//
// Tests swap in a recorder so the texts can be checked without a box.
using MessageSink = std::function<void(QWidget* parent, const QString& text, const QString& details)>;

// `folderToOpen`, when not empty, adds an "Open folder" button that shows
// that folder in the file manager and closes the box.
void ShowMessage(QWidget* parent, const QString& text, const QString& details = {}, const QString& folderToOpen = {});

// Runs `then` from the event loop once no box is up any more (soon, when none
// is up now); not at all when `context` is gone by then.
void WhenMessagesAnswered(QObject* context, std::function<void()> then);

// Whether a box of ShowMessage or AskToGoOn is up.
[[nodiscard]] bool MessageIsOpen();

// A question with two buttons, `goOn` and Cancel, in the same kind of box;
// true when the user chose `goOn`. With `dontAskAgain` the box offers a
// "Don't ask again" check box and reports it there.
[[nodiscard]] bool AskToGoOn(QWidget* parent, const QString& text, const QString& goOn, bool* dontAskAgain = nullptr);

// Tests answer the questions instead of a user: the sink gets the text and
// gives the answer.
using QuestionSink = std::function<bool(const QString& text)>;
QuestionSink SetQuestionSink(QuestionSink sink);

// Replaces the sink; returns the one that was installed. An empty sink puts
// the real box back.
MessageSink SetMessageSink(MessageSink sink);

}  // namespace partwright
