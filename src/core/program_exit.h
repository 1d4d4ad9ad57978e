// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Ends the whole program at once: no window's unload step runs, nothing is
// saved. Never returns to the caller.
class ProgramExit {
 public:
  virtual ~ProgramExit() = default;
  [[noreturn]] virtual void endNow() = 0;
};

class ProcessExit final : public ProgramExit {
 public:
  [[noreturn]] void endNow() override;
};
