// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Acts on the dialogs (or pop-up menus) a test has to answer from inside the
// event loop that shows them: each step runs once on the next such widget
// that comes up, in order; what each showed is recorded. A step that fails
// (or leaves its dialog open after a failure) never blocks the run: the
// widget is closed for it.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <type_traits>

class WhenOpen : public QObject {
    template <class M> struct ArgOf;
    template <class C, class R, class A> struct ArgOf<R (C::*)(A) const> { using type = A; };
    template <class C, class R, class A> struct ArgOf<R (C::*)(A)> { using type = A; };

public:
    using Step = std::function<void(QWidget *)>;
    using Finder = std::function<QWidget *()>;

    // The active modal widget; the active pop-up.
    static QWidget *activeModal();
    static QWidget *activePopup();

    explicit WhenOpen(QList<Step> steps, Finder find = activeModal);
    explicit WhenOpen(Step step, Finder find = activeModal) : WhenOpen(QList<Step>{std::move(step)}, std::move(find)) {}
    // One step on the first active modal dialog of the type it takes; the
    // dialog is cancelled if the step left it open.
    template <class Fn, class Arg = typename ArgOf<decltype(&Fn::operator())>::type,
              class = std::enable_if_t<!std::is_same_v<Arg, QWidget *>>>
    explicit WhenOpen(Fn step)
        : WhenOpen(QList<Step>{[step](QWidget *w) mutable {
                       step(static_cast<Arg>(w));
                       if (w->isVisible())
                           QMetaObject::invokeMethod(w, "reject");
                   }},
                   [] { return static_cast<QWidget *>(qobject_cast<Arg>(activeModal())); })
    {
    }

    // A step that leaves its widget open runs again on it until it closes
    // (a dialog may refuse an answer it is not ready for).
    void repeatWhileOpen() { repeat_ = true; }

    bool done() const { return steps_.isEmpty(); }
    QStringList texts;                  // each widget's message, label or items
    QList<QPointer<QWidget>> parents;   // each widget's parent

private:
    void poll();

    QList<Step> steps_;
    Finder find_;
    QPointer<QWidget> current_;
    bool repeat_ = false;
    QTimer timer_;
};
