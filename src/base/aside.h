// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Slow work (a drive spinning up, a scratched disc, a service waiting for
// one) done on a worker thread while the calling GUI thread waits in an
// event loop of its own: the window keeps painting and its timers run, but
// the user's clicks and keys wait until the work is done, so the handler
// that asked goes on where it stood, as if the call had been a plain one.
// Without a running application the work simply runs on the caller's thread.
namespace aside {

// True while some caller waits for work done aside. Handlers that a timer
// or the session bus may raise meanwhile (the status tick, media keys) look
// at it and leave the window alone until the wait is over.
bool busy();

// Counts as a wait for busy() while it lives: for a caller whose callee
// waits aside in a copy of this code of its own (a loaded module's).
class Waiting {
 public:
  Waiting();
  ~Waiting();
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;
};

// Runs `work` aside and returns when it is done; its exception, if any, is
// raised here.
void run(const std::function<void()>& work);

template <typename F>
auto call(F&& work) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if constexpr (std::is_void_v<R>) {
    run(std::forward<F>(work));
  } else {
    std::optional<R> result;
    run([&] { result.emplace(work()); });
    return std::move(*result);
  }
}

}  // namespace aside
