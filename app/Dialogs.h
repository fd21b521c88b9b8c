#pragma once
// The application's message boxes and its default exception handler.
#include <exception>
#include <functional>
#include <string>

class QSize;
class QWidget;

// The application's title: the executable's name. Captions every box.
std::string ApplicationTitle();

// Moves a window of the given size to the middle of the screen's work area,
// not of whichever window happens to be active.
void MoveToScreenCentre(QWidget& window, const QSize& size);

// A box with the text, no icon and one OK button, centred on the screen;
// returns when the user has closed it.
void ShowMessage(const std::string& text);

// The error box for an exception: its message, a stop icon, one OK button.
void ShowException(const std::exception& error);

// The one place where exceptions stop on their way out of a user's action:
// Qt must never see them, and the program goes on after the error box.
void CallGuarded(const std::function<void()>& action);
