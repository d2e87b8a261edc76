#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace partwright {

// Every message the window shows goes through here: a box titled "Partwright"
// with only an OK button, which waits for OK before it returns. `details`, when
// not empty, is offered as selectable text behind the box's details button.
//
// While a box is up the other windows take no input, as with a modal box, but
// a close request still reaches them (a modal box would swallow it), so the
// window can end the program at any time: CloseOpenMessages() takes every box
// down and lets every ShowMessage return.
//
// Tests swap in a recorder so the texts can be checked without a box.
using MessageSink = std::function<void(QWidget* parent, const QString& text, const QString& details)>;

// `folderToOpen`, when not empty, adds an "Open folder" button that shows
// that folder in the file manager and closes the box.
void ShowMessage(QWidget* parent, const QString& text, const QString& details = {}, const QString& folderToOpen = {});

void CloseOpenMessages();

// Whether a box of ShowMessage or AskToGoOn is up.
[[nodiscard]] bool MessageIsOpen();

// A question with two buttons, `goOn` and Cancel, in the same kind of box;
// true when the user chose `goOn`. With `dontAskAgain` the box offers a
// "Don't ask again" check box and reports it there. A close request that
// takes the box down answers Cancel.
[[nodiscard]] bool AskToGoOn(QWidget* parent, const QString& text, const QString& goOn, bool* dontAskAgain = nullptr);

// Tests answer the questions instead of a user: the sink gets the text and
// gives the answer.
using QuestionSink = std::function<bool(const QString& text)>;
QuestionSink SetQuestionSink(QuestionSink sink);

// Replaces the sink; returns the one that was installed. An empty sink puts
// the real box back.
MessageSink SetMessageSink(MessageSink sink);

}  // namespace partwright
