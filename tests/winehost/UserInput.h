// A stand-in user for the real pop-up menu and message boxes: a timer finds each window once
// it is open and sends it keys. Answers are given in the order they were queued.
#pragma once

#include <windows.h>

#include <string>

namespace WineHost {

// Once the pop-up menu opens: Down pressed Downs times (the first press highlights the first
// item, separators are skipped), then Enter; with Downs < 0, Escape. HoldMs delays the keys.
void AnswerNextMenu(int Downs, UINT HoldMs = 0);
// Once a message box opens: remembers its caption and text and presses the button Answer
// (IDOK, IDYES, IDNO).
void AnswerNextMessageBox(int Answer);
// Caption and text of the last message box answered.
const std::wstring& LastBoxCaption();
const std::wstring& LastBoxText();
// True when every queued answer has been given; otherwise drops the rest and says false.
bool AllAnswersGiven();

}  // namespace WineHost
