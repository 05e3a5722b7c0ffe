// Event handlers and library entries of the module run inside the guard: an exception never
// crosses a Qt event or signal boundary or the module's C entry points.
#pragma once

#include "platform/ui/Guard.h"

#include <QPointer>
#include <QWidget>
#include <type_traits>
#include <utility>

// A slot that runs fn inside the guard; the error box is parented to parent while it lives.
//   connect(actAdd, &QAction::triggered, this, guarded([this] { actAddExecute(); }, this));
// The slot's signal arguments are passed on to fn when it takes them.
namespace guarded_detail {
// Calls fn with the signal's arguments when it takes them, else without. A function of its own:
// clang decides an "if constexpr" inside a lambda nested in a generic lambda too early.
template <class F, class... A>
void call(const F& fn, A&&... args)
{
    if constexpr (std::is_invocable_v<const F&, A...>)
        fn(std::forward<A>(args)...);
    else
        fn();
}
} // namespace guarded_detail

template <class F>
auto guarded(F fn, QWidget* parent = nullptr)
{
    return [fn = std::move(fn), owner = QPointer<QWidget>(parent)](auto&&... args) {
        guard([&] { guarded_detail::call(fn, std::forward<decltype(args)>(args)...); }, owner.data());
    };
}

// Runs a library entry's work; a failure shows the error box and the entry answers fallback.
template <class R, class F>
R guardEntry(F fn, R fallback)
{
    R result = fallback;
    guard([&] { result = fn(); });
    return result;
}
