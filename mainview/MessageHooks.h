#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace mainview {

// The program's message boxes go through here so that tests can answer them instead of a
// person: with a hook installed nothing modal is shown.
using MessageHook = std::function<void(const QString& text)>;

// A simple information box with an OK button ("Please specify server/Domain name.").
void ShowMessage(QWidget* parent, const QString& text);
// The general error box for an error raised inside a handler.
void ShowError(const QString& text);

// Installs a hook that receives every message and error text; an empty hook restores the
// real boxes. Returns the previous hook.
MessageHook SetMessageHook(MessageHook hook);

// Runs fn and shows any error it raises, so that one failed handler leaves the window usable.
void RunGuarded(const std::function<void()>& fn);

// Runs fn and writes any error it raises to stderr, in the window's language. For work done
// while the program ends, which no message box may hold up.
void ReportOnStderr(const std::function<void()>& fn);

// Wraps a callable so that it runs guarded; used for slots and controller events.
template <class F> auto Guarded(F fn) {
    return [fn = std::move(fn)](auto&&... args) {
        RunGuarded([&] { fn(std::forward<decltype(args)>(args)...); });
    };
}

// The same for a slot without arguments (Qt passes a variadic callable every signal argument).
template <class F> auto GuardedSlot(F fn) {
    return [fn = std::move(fn)]() { RunGuarded(fn); };
}

} // namespace mainview
